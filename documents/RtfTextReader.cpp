#include "documents/RtfTextReader.h"

#include <unordered_map>

#include "documents/ByteInput.h"
#include "documents/DocumentErrors.h"
#include "documents/TextSink.h"
#include "documents/Windows1252.h"

namespace quorvane {

namespace {

enum class Action {
    LeftOut,      // a destination whose text is not shown
    Gap,          // a mark that parts words
    Character,    // a named character
    Unicode,      // \uN
    FallbackSize, // \ucN
    Binary,       // \binN
    Hidden,       // \v
    Deleted,      // \deleted
    Plain,        // \plain: character formatting back to the default
    Note,         // \footnote: shown apart from the text around it
};

struct Entry {
    Action action;
    char32_t character = 0;
};

const std::unordered_map<std::string, Entry>& controlWords() {
    static const std::unordered_map<std::string, Entry> words = [] {
        std::unordered_map<std::string, Entry> w;
        for (const char* name :
             {"fonttbl", "colortbl", "stylesheet", "info", "pict", "header", "headerl",
              "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "annotation",
              "atnid", "atnauthor", "atndate", "atnref", "atnparent", "atrfstart", "atrfend",
              "fldinst", "xe", "tc", "tcn", "objdata", "objclass", "objname", "datafield",
              "bkmkstart", "bkmkend", "listtable", "listoverridetable", "revtbl", "rsidtbl",
              "generator", "filetbl", "themedata", "colorschememapping", "latentstyles",
              "datastore", "xmlnstbl", "mmathPr", "pgdsctbl", "private", "nonshppict", "sp",
              "sn", "sv", "template", "userprops", "docvar", "fchars", "lchars", "pnseclvl",
              "pntext", "pntxta", "pntxtb", "listtext", "upr", "ud", "panose", "falt",
              "fname", "expandedcolortbl", "wgrffmtfilter", "ftnsep", "ftnsepc", "aftnsep",
              "aftnsepc", "ftncn", "aftncn", "passwordhash", "protusertbl", "mhtmltag",
              "htmltag", "formfield", "ffdeftext", "fftitle", "ffhelptext", "ffstattext",
              "ffentrymcr", "ffexitmcr", "ffname", "ffl", "shpfldinst", "picprop",
              "blipuid", "keywords", "subject", "title", "author", "operator", "comment",
              "doccomm", "company", "category", "manager", "hlinkbase", "oldcprops",
              "oldpprops", "oldsprops", "oldtprops", "tblind"}) {
            w.emplace(name, Entry{Action::LeftOut});
        }
        for (const char* name : {"par", "line", "tab", "cell", "row", "nestcell", "nestrow",
                                 "sect", "page", "column", "lbr", "softline", "softpage",
                                 "softcol", "emspace", "enspace", "qmspace"}) {
            w.emplace(name, Entry{Action::Gap});
        }
        w.emplace("emdash", Entry{Action::Character, 0x2014});
        w.emplace("endash", Entry{Action::Character, 0x2013});
        w.emplace("bullet", Entry{Action::Character, 0x2022});
        w.emplace("lquote", Entry{Action::Character, 0x2018});
        w.emplace("rquote", Entry{Action::Character, 0x2019});
        w.emplace("ldblquote", Entry{Action::Character, 0x201C});
        w.emplace("rdblquote", Entry{Action::Character, 0x201D});
        w.emplace("u", Entry{Action::Unicode});
        w.emplace("uc", Entry{Action::FallbackSize});
        w.emplace("bin", Entry{Action::Binary});
        w.emplace("v", Entry{Action::Hidden});
        w.emplace("deleted", Entry{Action::Deleted});
        w.emplace("plain", Entry{Action::Plain});
        w.emplace("footnote", Entry{Action::Note});
        return w;
    }();
    return words;
}

bool isLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

RtfTextReader::RtfTextReader(std::unique_ptr<ByteInput> input) : input_(std::move(input)) {}

RtfTextReader::~RtfTextReader() = default;

void RtfTextReader::openGroup() {
    fallbackLeft_ = 0;
    if (outer_.size() >= kMaxDepth) {
        ++overflowDepth_;
        return;
    }
    outer_.push_back(group_);
}

void RtfTextReader::closeGroup(TextSink& sink) {
    // Leaving the footnote itself, not a group inside it.
    if (overflowDepth_ == 0 && group_.note && (outer_.empty() || !outer_.back().note)) {
        gap(sink);
    }
    fallbackLeft_ = 0;
    starPending_ = false;
    if (overflowDepth_ > 0) {
        --overflowDepth_;
        return;
    }
    if (!outer_.empty()) {
        group_ = outer_.back();
        outer_.pop_back();
    }
}

void RtfTextReader::character(char32_t c, TextSink& sink) {
    if (fallbackLeft_ > 0) {
        --fallbackLeft_;
        return;
    }
    if (visible()) {
        sink.codePoint(c);
    }
}

void RtfTextReader::gap(TextSink& sink) {
    if (!group_.leftOut) {
        sink.gap();
    }
}

// \uN: a UTF-16 unit (a high surrogate waits for its low one), then the fallback that
// readers without Unicode show instead, which is skipped.
void RtfTextReader::unicode(char16_t unit, TextSink& sink) {
    fallbackLeft_ = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate_ != 0) {
        character(0x10000 + ((char32_t{highSurrogate_} - 0xD800) << 10) + (unit - 0xDC00), sink);
        highSurrogate_ = 0;
    } else {
        highSurrogate_ = 0;
        character(unit, sink);
    }
    fallbackLeft_ = group_.fallbackLength;
}

void RtfTextReader::controlWord(TextSink& sink) {
    const qint64 parameter = negative_ ? -parameter_ : parameter_;
    if (starPending_) {
        starPending_ = false;
        // "\*" marks a destination a reader may skip; footnotes and the text of shapes
        // are shown all the same.
        if (word_ != "footnote" && word_ != "shpinst" && word_ != "shptxt") {
            group_.leftOut = true;
            return;
        }
    }
    const auto& words = controlWords();
    const auto it = words.find(word_);
    if (it == words.end()) {
        if (fallbackLeft_ > 0) {
            --fallbackLeft_;
        }
        return;
    }
    switch (it->second.action) {
        case Action::LeftOut:
            group_.leftOut = true;
            break;
        case Action::Gap:
            fallbackLeft_ = 0;
            gap(sink);
            break;
        case Action::Character:
            character(it->second.character, sink);
            break;
        case Action::Unicode:
            unicode(static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter), sink);
            break;
        case Action::FallbackSize:
            group_.fallbackLength = hasParameter_ ? static_cast<int>(qBound(qint64{0}, parameter, qint64{16})) : 1;
            break;
        case Action::Binary:
            if (parameter > 0) {
                binaryLeft_ = parameter;
                state_ = State::Binary;
            }
            break;
        case Action::Hidden:
            group_.hidden = !hasParameter_ || parameter != 0;
            break;
        case Action::Deleted:
            group_.deleted = !hasParameter_ || parameter != 0;
            break;
        case Action::Plain:
            group_.hidden = false;
            group_.deleted = false;
            break;
        case Action::Note:
            group_.note = true;
            gap(sink);
            break;
    }
}

void RtfTextReader::feed(unsigned char c, TextSink& sink) {
    switch (state_) {
        case State::Binary:
            if (--binaryLeft_ <= 0) {
                state_ = State::Text;
            }
            return;
        case State::Hex1:
            hex_ = hexValue(c);
            state_ = hex_ < 0 ? State::Text : State::Hex2;
            return;
        case State::Hex2: {
            const int low = hexValue(c);
            state_ = State::Text;
            if (low >= 0) {
                character(Windows1252::decode(static_cast<unsigned char>(hex_ * 16 + low)), sink);
            }
            return;
        }
        case State::Word:
            if (!endsWord(c, sink)) {
                return;
            }
            break;
        case State::Parameter:
            if (!endsParameter(c, sink)) {
                return;
            }
            break;
        case State::Backslash:
            state_ = State::Text;
            afterBackslash(c, sink);
            return;
        case State::Text:
            break;
    }
    text(c, sink);
}

// A letter goes on with the control word's name, a digit or '-' starts its parameter;
// anything else ends it. True where `c` is then read as text: it is not the space that
// closes the word.
bool RtfTextReader::endsWord(unsigned char c, TextSink& sink) {
    if (isLetter(c)) {
        if (word_.size() < 32) {
            word_ += static_cast<char>(c);
        }
        return false;
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
        state_ = State::Parameter;
        hasParameter_ = true;
        negative_ = c == '-';
        parameter_ = c == '-' ? 0 : c - '0';
        parameterDigits_ = c == '-' ? 0 : 1;
        return false;
    }
    state_ = State::Text;
    controlWord(sink);
    return c != ' ';
}

// Digits go on with the parameter; anything else ends the control word. True where `c`
// is then read as text.
bool RtfTextReader::endsParameter(unsigned char c, TextSink& sink) {
    if (c >= '0' && c <= '9') {
        if (parameterDigits_++ < 10) {
            parameter_ = parameter_ * 10 + (c - '0');
        }
        return false;
    }
    state_ = State::Text;
    controlWord(sink);
    if (state_ == State::Binary && c != ' ') {
        // \binN: the data follows the delimiting space, or starts right here.
        feed(c, sink);
        return false;
    }
    return c != ' ';
}

// What follows a backslash: a control word's first letter, or a control symbol.
void RtfTextReader::afterBackslash(unsigned char c, TextSink& sink) {
    if (isLetter(c)) {
        state_ = State::Word;
        word_.assign(1, static_cast<char>(c));
        hasParameter_ = false;
        negative_ = false;
        parameter_ = 0;
        return;
    }
    switch (c) {
        case '\'':
            state_ = State::Hex1;
            return;
        case '*':
            starPending_ = true;
            return;
        case '\\':
        case '{':
        case '}':
            character(c, sink);
            return;
        case '~':
            character(0x00A0, sink);
            return;
        case '_':
            character(U'-', sink);
            return;
        case '\r':
        case '\n':
            fallbackLeft_ = 0;
            gap(sink);
            return;
        default:
            // "\-" (optional hyphen), "\:", "\|" show nothing.
            if (fallbackLeft_ > 0) {
                --fallbackLeft_;
            }
            return;
    }
}

// A byte outside any control word: a group's bounds, a backslash, or text.
void RtfTextReader::text(unsigned char c, TextSink& sink) {
    switch (c) {
        case '{':
            openGroup();
            break;
        case '}':
            closeGroup(sink);
            break;
        case '\\':
            state_ = State::Backslash;
            break;
        case '\r':
        case '\n':
            break;  // line ends in the file are not text
        case '\t':
            gap(sink);
            break;
        default:
            starPending_ = false;
            character(Windows1252::decode(c), sink);
            break;
    }
}

DocumentReader::Step RtfTextReader::finish() {
    // A file cut short ends this way; its count would pass for the whole document's.
    if (state_ == State::Binary) {
        return fail(DocumentErrors::damaged(QStringLiteral("binary data runs past the end of the file")));
    }
    const std::size_t open = outer_.size() + overflowDepth_;
    if (open > 0) {
        return fail(DocumentErrors::damaged(QStringLiteral("the file ends inside %1 open group%2")
                                                .arg(open)
                                                .arg(open == 1 ? "" : "s")));
    }
    return Step::Done;
}

DocumentReader::Step RtfTextReader::step(TextSink& sink) {
    piece_.resize(kPieceSize);
    const qint64 got = input_->read(piece_.data(), kPieceSize);
    if (got < 0) {
        return fail(input_->errorString());
    }
    if (got == 0) {
        return finish();
    }
    const auto* p = reinterpret_cast<const unsigned char*>(piece_.constData());
    for (qint64 i = 0; i < got; ++i) {
        feed(p[i], sink);
    }
    return Step::More;
}

}  // namespace quorvane
