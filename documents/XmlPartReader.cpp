#include "documents/XmlPartReader.h"

#include "documents/ByteInput.h"
#include "documents/DocumentErrors.h"
#include "documents/TextSink.h"
#include "documents/XmlPartRules.h"

namespace quorvane {

namespace {

// A part in UTF-16 shows by its first bytes; the guard cannot cut its text, as a cut
// written in UTF-8 would break it.
bool looksUtf16(const char* data, qsizetype size) {
    if (size < 2) {
        return false;
    }
    const auto a = static_cast<unsigned char>(data[0]);
    const auto b = static_cast<unsigned char>(data[1]);
    return (a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF) || (a == '<' && b == 0) ||
           (a == 0 && b == '<');
}

}  // namespace

bool XmlPartReader::Guard::refuse(QString& reason, const QString& why) {
    reason = why;
    return false;
}

bool XmlPartReader::Guard::pass(const char* data, qsizetype size, QByteArray& out,
                                QString& reason) {
    if (!checkedStart_) {
        checkedStart_ = true;
        passThrough_ = looksUtf16(data, size);
    }
    if (passThrough_) {
        out.append(data, size);
        return true;
    }
    out.reserve(out.size() + size + (size / kTextPiece + 2) * 16);
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (state_ != State::Text && state_ != State::CData && ++markup_ > kMostMarkup) {
            return refuse(reason, QStringLiteral("holds markup of over a megabyte"));
        }
        if (!take(c, out, reason)) {
            return false;
        }
        out += c;
    }
    return true;
}

// Moves on by one byte, `c`, writing any cut it needs before it to `out`.
bool XmlPartReader::Guard::take(char c, QByteArray& out, QString& reason) {
    // A cut goes only where a character starts, outside a reference like "&amp;".
    const auto u = static_cast<unsigned char>(c);
    const bool boundary = u < 0x80 || u >= 0xC0;
    switch (state_) {
        case State::Text:
            text(c, boundary, out);
            break;
        case State::Open:
            bang_.clear();
            closing_ = 0;
            state_ = c == '!' ? State::Bang : c == '?' ? State::Pi : c == '>' ? State::Text
                                                                             : State::Tag;
            break;
        case State::Bang:
            bang(c);
            break;
        case State::Doctype:
            // An internal subset is where entities are declared.
            if (c == '[') {
                return refuse(reason, QStringLiteral("declares entities"));
            }
            if (c == '>') {
                return refuse(reason, QStringLiteral("declares a DTD"));
            }
            break;
        case State::Tag:
            tag(c);
            break;
        case State::Quoted:
            if (c == quote_) {
                state_ = State::Tag;
            }
            break;
        case State::Comment:
            closeAfter(c, '-');
            break;
        case State::Pi:
            closing_ = c == '?' ? 1 : c == '>' && closing_ == 1 ? 2 : 0;
            if (closing_ == 2) {
                toText();
            }
            break;
        case State::CData:
            cdata(c, boundary, out);
            break;
    }
    return true;
}

void XmlPartReader::Guard::text(char c, bool boundary, QByteArray& out) {
    if (c == '<') {
        state_ = State::Open;
        markup_ = 0;
        return;
    }
    if (run_ >= kTextPiece && boundary && !inReference_) {
        out += "<!---->";  // the parser gives out the text before it
        run_ = 0;
    }
    ++run_;
    inReference_ = c == '&' || (inReference_ && c != ';');
}

// What follows "<!": a comment, a CDATA section, or else a DOCTYPE.
void XmlPartReader::Guard::bang(char c) {
    bang_ += c;
    if (bang_ == "--") {
        state_ = State::Comment;
    } else if (bang_ == "[CDATA[") {
        state_ = State::CData;
        run_ = 0;
    } else if (!QByteArrayView("[CDATA[").startsWith(bang_) &&
               !QByteArrayView("--").startsWith(bang_)) {
        state_ = State::Doctype;
    }
}

void XmlPartReader::Guard::tag(char c) {
    if (c == '"' || c == '\'') {
        state_ = State::Quoted;
        quote_ = c;
    } else if (c == '>') {
        toText();
        inReference_ = false;
    }
}

void XmlPartReader::Guard::cdata(char c, bool boundary, QByteArray& out) {
    if (run_ >= kTextPiece && boundary && c != ']' && c != '>') {
        out += "]]><![CDATA[";
        run_ = 0;
    }
    ++run_;
    closeAfter(c, ']');
}

// Comments end at "-->" and CDATA sections at "]]>": two of `mark`, then '>'.
void XmlPartReader::Guard::closeAfter(char c, char mark) {
    closing_ = c == mark ? qMin(closing_ + 1, 2) : c == '>' && closing_ == 2 ? 3 : 0;
    if (closing_ == 3) {
        toText();
    }
}

void XmlPartReader::Guard::toText() {
    state_ = State::Text;
    run_ = 0;
}

XmlPartReader::XmlPartReader(QString name, std::unique_ptr<ByteInput> input, XmlPartRules& rules)
    : name_(std::move(name)), input_(std::move(input)), rules_(rules) {
    // The guard lets no entity declaration through; should one come by another way, it
    // is not expanded without end.
    xml_.setEntityExpansionLimit(4096);
}

XmlPartReader::~XmlPartReader() = default;

DocumentReader::Step XmlPartReader::damaged(const QString& what) {
    error_ = DocumentErrors::damagedPart(name_, what);
    return DocumentReader::Step::Failed;
}

DocumentReader::Step XmlPartReader::refused() {
    error_ = QStringLiteral("%1 (%2)").arg(rules_.errorString(), name_);
    return DocumentReader::Step::Failed;
}

// The next piece of the part into piece_: how many bytes, 0 at its end, -1 on failure
// (the reason kept).
qint64 XmlPartReader::readPiece() {
    piece_.resize(kPieceSize);
    const qint64 got = input_->read(piece_.data(), kPieceSize);
    if (got < 0) {
        error_ = input_->errorString();
    }
    return got;
}

// Hands the parser the next piece of the part.
DocumentReader::Step XmlPartReader::feed() {
    const qint64 got = readPiece();
    if (got < 0) {
        return DocumentReader::Step::Failed;
    }
    if (got == 0) {
        inputEnded_ = true;
        return DocumentReader::Step::Done;
    }
    guarded_.resize(0);
    QString reason;
    if (!guard_.pass(piece_.constData(), got, guarded_, reason)) {
        // Said so because that is the reason people look for.
        error_ = DocumentErrors::damagedIn(reason, name_);
        return DocumentReader::Step::Failed;
    }
    xml_.addData(guarded_);
    return DocumentReader::Step::More;
}

DocumentReader::Step XmlPartReader::step(TextSink& sink) {
    if (!error_.isEmpty()) {
        return DocumentReader::Step::Failed;
    }
    if (rules_.drain(sink)) {
        return DocumentReader::Step::More;
    }
    if (!rules_.errorString().isEmpty()) {
        return refused();
    }
    if (documentEnded_) {
        // The rest of the part is read to its end, where the archive checks its checksum.
        const qint64 got = readPiece();
        return got < 0    ? DocumentReader::Step::Failed
               : got == 0 ? DocumentReader::Step::Done
                          : DocumentReader::Step::More;
    }
    for (;;) {
        if (const std::optional<DocumentReader::Step> step = token(xml_.readNext(), sink)) {
            return *step;
        }
    }
}

// Handles what the parser read: a step's outcome where the step ends with it, none where
// the parser is to read on.
std::optional<DocumentReader::Step> XmlPartReader::token(QXmlStreamReader::TokenType type,
                                                         TextSink& sink) {
    switch (type) {
        case QXmlStreamReader::StartElement:
            return startElement(sink);
        case QXmlStreamReader::EndElement:
            return endElement(sink);
        case QXmlStreamReader::Characters:
            if (skipUntilDepth_ < 0 && depth_ > 0) {
                rules_.characters(xml_, sink);
                if (sink.available() >= kStepOutput) {
                    return DocumentReader::Step::More;
                }
            }
            return std::nullopt;
        case QXmlStreamReader::DTD:
            error_ = DocumentErrors::declaresEntities(name_);
            return DocumentReader::Step::Failed;
        case QXmlStreamReader::EndDocument:
            if (inputEnded_) {
                return DocumentReader::Step::Done;
            }
            documentEnded_ = true;
            return DocumentReader::Step::More;
        case QXmlStreamReader::Invalid:
            return outOfInput();
        default:
            return std::nullopt;
    }
}

std::optional<DocumentReader::Step> XmlPartReader::startElement(TextSink& sink) {
    if (++depth_ > kMostDepth) {
        return damaged(QStringLiteral("elements nest more than %1 deep").arg(kMostDepth));
    }
    sawRoot_ = true;
    if (skipUntilDepth_ < 0 && rules_.start(xml_, sink) == XmlPartRules::Visit::Skip) {
        skipUntilDepth_ = depth_;
    }
    return std::nullopt;
}

std::optional<DocumentReader::Step> XmlPartReader::endElement(TextSink& sink) {
    if (skipUntilDepth_ == depth_) {
        skipUntilDepth_ = -1;
    } else if (skipUntilDepth_ < 0) {
        rules_.end(xml_, sink);
    }
    --depth_;
    // Held-back text goes out before anything that follows it.
    if (rules_.drain(sink) || sink.available() >= kStepOutput) {
        return DocumentReader::Step::More;
    }
    if (!rules_.errorString().isEmpty()) {
        return refused();
    }
    return std::nullopt;
}

// The parser stopped: at an error in the part, or where the input given to it so far
// ends, when it is handed the next piece.
std::optional<DocumentReader::Step> XmlPartReader::outOfInput() {
    if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
        return damaged(xml_.errorString());
    }
    if (inputEnded_) {
        if (sawRoot_ && depth_ == 0) {
            return DocumentReader::Step::Done;
        }
        return damaged(QStringLiteral("the part ends too early"));
    }
    const DocumentReader::Step fed = feed();
    if (fed == DocumentReader::Step::Done) {
        return std::nullopt;  // one more pass tells a complete part from a cut one
    }
    // Failed, or More: one piece per step, and the caller hands control back in between.
    return fed;
}

}  // namespace quorvane
