#include "XmlPartReader.h"

#include "ByteInput.h"
#include "TextSink.h"
#include "XmlPartRules.h"

namespace quorvane {

XmlPartReader::XmlPartReader(QString name, std::unique_ptr<ByteInput> input, XmlPartRules& rules)
    : name_(std::move(name)), input_(std::move(input)), rules_(rules) {
    // Office parts declare no entities; one that does is not expanded without end.
    xml_.setEntityExpansionLimit(4096);
}

XmlPartReader::~XmlPartReader() = default;

DocumentReader::Step XmlPartReader::damaged(const QString& what) {
    error_ = QStringLiteral("damaged document: %1: %2").arg(name_, what);
    return DocumentReader::Step::Failed;
}

DocumentReader::Step XmlPartReader::step(TextSink& sink) {
    if (rules_.drain(sink)) {
        return DocumentReader::Step::More;
    }
    if (documentEnded_) {
        // The rest of the part is read to its end, where the archive checks its checksum.
        piece_.resize(kPieceSize);
        const qint64 got = input_->read(piece_.data(), kPieceSize);
        if (got < 0) {
            error_ = input_->errorString();
            return DocumentReader::Step::Failed;
        }
        return got == 0 ? DocumentReader::Step::Done : DocumentReader::Step::More;
    }
    for (;;) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        switch (token) {
            case QXmlStreamReader::StartElement:
                ++depth_;
                sawRoot_ = true;
                if (skipUntilDepth_ < 0 &&
                    rules_.start(xml_, sink) == XmlPartRules::Visit::Skip) {
                    skipUntilDepth_ = depth_;
                }
                break;
            case QXmlStreamReader::EndElement:
                if (skipUntilDepth_ == depth_) {
                    skipUntilDepth_ = -1;
                } else if (skipUntilDepth_ < 0) {
                    rules_.end(xml_, sink);
                }
                --depth_;
                // Held-back text goes out before anything that follows it.
                if (rules_.drain(sink)) {
                    return DocumentReader::Step::More;
                }
                break;
            case QXmlStreamReader::Characters:
                if (skipUntilDepth_ < 0 && depth_ > 0) {
                    rules_.characters(xml_, sink);
                }
                break;
            case QXmlStreamReader::EndDocument:
                if (inputEnded_) {
                    return DocumentReader::Step::Done;
                }
                documentEnded_ = true;
                return DocumentReader::Step::More;
            case QXmlStreamReader::Invalid:
                if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
                    return damaged(xml_.errorString());
                }
                if (inputEnded_) {
                    if (sawRoot_ && depth_ == 0) {
                        return DocumentReader::Step::Done;
                    }
                    return damaged(QStringLiteral("the part ends too early"));
                }
                {
                    piece_.resize(kPieceSize);
                    const qint64 got = input_->read(piece_.data(), kPieceSize);
                    if (got < 0) {
                        error_ = input_->errorString();
                        return DocumentReader::Step::Failed;
                    }
                    if (got == 0) {
                        inputEnded_ = true;
                        // One more pass tells a complete part from a cut one.
                        continue;
                    }
                    piece_.resize(got);
                    xml_.addData(piece_);
                }
                // One piece per step: the caller hands control back in between.
                return DocumentReader::Step::More;
            default:
                break;
        }
    }
}

}  // namespace quorvane
