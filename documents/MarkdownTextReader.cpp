#include "documents/MarkdownTextReader.h"

#include <libxml/HTMLparser.h>
#include <md4c.h>

#include <new>

#include "documents/ByteInput.h"
#include "documents/MarkdownBlocks.h"
#include "documents/TextSink.h"

namespace quorvane {

namespace {

constexpr qint64 kReadSize = 256 * 1024;

bool nameIn(const QByteArray& name, std::initializer_list<const char*> names) {
    for (const char* candidate : names) {
        if (name == candidate) {
            return true;
        }
    }
    return false;
}

// The tags a browser shows as a new line or block, as the HTML reader has them.
bool partsWords(const QByteArray& name) {
    return nameIn(name, {"address", "article", "aside", "blockquote", "br", "caption", "dd",
                         "details", "div", "dl", "dt", "figcaption", "figure", "footer", "h1",
                         "h2", "h3", "h4", "h5", "h6", "header", "hr", "li", "main", "nav",
                         "ol", "p", "pre", "section", "summary", "table", "tbody", "td",
                         "tfoot", "th", "thead", "tr", "ul", "img"});
}

// "&name;" or "&#number;" as the character it stands for; 0 when it names none.
char32_t entityValue(const char* text, qsizetype size) {
    if (size < 3) {
        return 0;
    }
    const QByteArray name(text + 1, size - 2);
    if (name.startsWith('#')) {
        const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
        bool ok = false;
        const uint value = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        return ok && value > 0 && value <= 0x10FFFF ? char32_t(value) : 0xFFFD;
    }
    const htmlEntityDesc* entity = htmlEntityLookup(reinterpret_cast<const xmlChar*>(name.constData()));
    return entity != nullptr ? char32_t(entity->value) : 0;
}

// The length of the entity ("&amp;", "&#233;") that `text` opens, 0 when it opens none
// this reader knows; raw HTML leaves them to be read here.
qsizetype entityLength(const char* text, qsizetype size) {
    constexpr qsizetype kLongest = 34;
    for (qsizetype n = 1; n < qMin(size, kLongest); ++n) {
        const char c = text[n];
        if (c == ';') {
            return n > 1 && entityValue(text, n + 1) != 0 ? n + 1 : 0;
        }
        if (!((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && !(c >= '0' && c <= '9') && c != '#') {
            return 0;
        }
    }
    return 0;
}

}  // namespace

// One parse's callbacks: where the text goes, what is being left out, and raw HTML read
// a character at a time (the parser hands over tags, comments and HTML blocks as they
// stand, a line or a tag at a time).
struct MarkdownTextReader::Walk {
    enum class Html { Text, Open, Name, Tag, Bang, Comment, Skip };

    TextSink* sink = nullptr;
    int codeBlocks = 0;
    int links = 0;
    QByteArray linkText;  // a link's text waits to be told from its address
    QByteArray linkTarget;
    Html html = Html::Text;
    QByteArray tagName;
    bool closingTag = false;
    int dashes = 0;
    QByteArray skipUntil;  // "</script" or "</style": their contents are not shown
    qsizetype skipMatched = 0;

    static Walk& of(void* data) { return *static_cast<Walk*>(data); }

    void put(const char* text, qsizetype size) {
        if (links > 0) {
            linkText.append(text, size);
        } else {
            sink->utf8(text, size);
        }
    }
    void gap() {
        if (links > 0) {
            linkText.append(' ');
        } else {
            sink->gap();
        }
    }
    void putCodePoint(char32_t c) {
        const QString s = QString::fromUcs4(&c, 1);
        const QByteArray utf8 = s.toUtf8();
        put(utf8.constData(), utf8.size());
    }

    void endHtml() {
        html = Html::Text;
        skipUntil.clear();
    }
    void rawHtml(const char* text, qsizetype size);
    void htmlChar(char c);
    void endTag();

    void enterLink(const MD_SPAN_A_DETAIL& detail) {
        if (links++ == 0) {
            linkText.clear();
            linkTarget = QByteArray(detail.href.text, detail.href.size);
        }
    }
    // An autolink shows its own address, which is left out; "mailto:" comes before an
    // e-mail address.
    void leaveLink() {
        if (--links > 0) {
            return;
        }
        if (linkText != linkTarget && "mailto:" + linkText != linkTarget) {
            sink->utf8(linkText.constData(), linkText.size());
        }
        linkText.clear();
    }
};

void MarkdownTextReader::Walk::rawHtml(const char* text, qsizetype size) {
    qsizetype run = 0;  // characters of text not put yet, ending at i
    for (qsizetype i = 0; i < size; ++i) {
        const qsizetype entity = html == Html::Text && text[i] == '&'
                                     ? entityLength(text + i, size - i)
                                     : 0;
        if (html == Html::Text && text[i] != '<' && entity == 0) {
            ++run;
            continue;
        }
        if (run > 0) {
            put(text + i - run, run);
            run = 0;
        }
        if (entity > 0) {
            putCodePoint(entityValue(text + i, entity));
            i += entity - 1;
        } else {
            htmlChar(text[i]);
        }
    }
    if (run > 0) {
        put(text + size - run, run);
    }
}

void MarkdownTextReader::Walk::htmlChar(char c) {
    const char l = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    switch (html) {
        case Html::Text:
            html = Html::Open;
            tagName.clear();
            closingTag = false;
            return;
        case Html::Open:
            if (c == '!') {
                html = Html::Bang;
                dashes = 0;
            } else if (c == '?') {
                html = Html::Tag;
            } else if (c == '/' || (l >= 'a' && l <= 'z')) {
                closingTag = c == '/';
                html = Html::Name;
                if (!closingTag) {
                    tagName.append(l);
                }
            } else {
                html = Html::Text;  // a '<' on its own is text
                put("<", 1);
                put(&c, 1);
            }
            return;
        case Html::Name:
            if ((l >= 'a' && l <= 'z') || (l >= '0' && l <= '9')) {
                if (tagName.size() < 16) {
                    tagName.append(l);
                }
                return;
            }
            html = Html::Tag;
            [[fallthrough]];
        case Html::Tag:
            if (c == '>') {
                endTag();
            }
            return;
        case Html::Bang:
            if (c == '-' && ++dashes == 2) {
                html = Html::Comment;
                dashes = 0;
            } else if (c != '-') {
                html = c == '>' ? Html::Text : Html::Tag;
            }
            return;
        case Html::Comment:
            if (c == '>' && dashes >= 2) {
                html = Html::Text;
            }
            dashes = c == '-' ? dashes + 1 : 0;
            return;
        case Html::Skip:
            skipMatched = l == skipUntil[skipMatched] ? skipMatched + 1 : (l == '<' ? 1 : 0);
            if (skipMatched == skipUntil.size()) {
                html = Html::Tag;
                closingTag = true;
            }
            return;
    }
}

void MarkdownTextReader::Walk::endTag() {
    html = Html::Text;
    if (partsWords(tagName)) {
        gap();
    }
    if (!closingTag && (tagName == "script" || tagName == "style")) {
        skipUntil = "</" + tagName;
        skipMatched = 0;
        html = Html::Skip;
    }
}

namespace {

using Walk = MarkdownTextReader::Walk;

bool isLeaf(MD_BLOCKTYPE type) {
    return type == MD_BLOCK_P || type == MD_BLOCK_H || type == MD_BLOCK_HTML ||
           type == MD_BLOCK_CODE || type == MD_BLOCK_TH || type == MD_BLOCK_TD;
}

int enterBlock(MD_BLOCKTYPE type, void*, void* data) {
    Walk& walk = Walk::of(data);
    walk.gap();
    if (type == MD_BLOCK_CODE) {
        ++walk.codeBlocks;
    }
    return 0;
}

int leaveBlock(MD_BLOCKTYPE type, void*, void* data) {
    Walk& walk = Walk::of(data);
    walk.gap();
    if (type == MD_BLOCK_CODE) {
        --walk.codeBlocks;
    }
    if (isLeaf(type)) {
        walk.endHtml();  // a tag left open ends with its block
    }
    return 0;
}

int enterSpan(MD_SPANTYPE type, void* detail, void* data) {
    if (type == MD_SPAN_A) {
        Walk::of(data).enterLink(*static_cast<MD_SPAN_A_DETAIL*>(detail));
    }
    return 0;
}

int leaveSpan(MD_SPANTYPE type, void*, void* data) {
    if (type == MD_SPAN_A) {
        Walk::of(data).leaveLink();
    }
    return 0;
}

int text(MD_TEXTTYPE type, const MD_CHAR* text, MD_SIZE size, void* data) {
    Walk& walk = Walk::of(data);
    if (walk.codeBlocks > 0) {
        return 0;
    }
    if (type == MD_TEXT_HTML) {
        walk.rawHtml(text, qsizetype(size));
    } else if (walk.html == Walk::Html::Skip) {
        return 0;
    } else if (type == MD_TEXT_BR || type == MD_TEXT_SOFTBR) {
        walk.gap();
    } else if (type == MD_TEXT_NULLCHAR) {
        walk.putCodePoint(0xFFFD);
    } else if (type == MD_TEXT_ENTITY) {
        if (const char32_t c = entityValue(text, qsizetype(size)); c != 0) {
            walk.putCodePoint(c);
        } else {
            walk.put(text, qsizetype(size));
        }
    } else {
        walk.put(text, qsizetype(size));
    }
    return 0;
}

const MD_PARSER kParser = {
    0,
    MD_FLAG_TABLES | MD_FLAG_STRIKETHROUGH,
    enterBlock,
    leaveBlock,
    enterSpan,
    leaveSpan,
    text,
    nullptr,
    nullptr,
};

}  // namespace

MarkdownTextReader::MarkdownTextReader(std::unique_ptr<ByteInput> input)
    : input_(std::move(input)), walk_(std::make_unique<Walk>()) {}

MarkdownTextReader::~MarkdownTextReader() = default;

DocumentReader::Start MarkdownTextReader::start() {
    return Start::Document;
}

// Reads until a piece's worth is waiting or the file ends.
bool MarkdownTextReader::fill() {
    while (!ended_ && buffer_.size() < kPieceSize) {
        const qsizetype before = buffer_.size();
        const qint64 want = qMin<qint64>(kReadSize, kPieceSize - before);
        buffer_.resize(before + want);
        const qint64 got = input_->read(buffer_.data() + before, want);
        buffer_.resize(before + qMax<qint64>(got, 0));
        if (got < 0) {
            return failCheck(input_->errorString());
        }
        ended_ = got == 0;
    }
    return true;
}

void MarkdownTextReader::skipOpening() {
    if (buffer_.startsWith("\xEF\xBB\xBF")) {
        buffer_.remove(0, 3);
    }
    buffer_.remove(0, MarkdownBlocks::frontMatterSize(buffer_));
    opened_ = true;
}

DocumentReader::Step MarkdownTextReader::step(TextSink& sink) {
    if (!fill()) {
        return Step::Failed;
    }
    if (!opened_) {
        skipOpening();
        if (buffer_.isEmpty()) {
            return ended_ ? Step::Done : Step::More;  // front matter filled the first read
        }
    }
    MarkdownBlocks::Cut cut = ended_ ? MarkdownBlocks::Cut{buffer_.size(), {}}
                                     : MarkdownBlocks::lastCut(buffer_);
    QByteArrayView piece = QByteArrayView(buffer_).first(cut.at);
    const QByteArray joined = carry_.isEmpty() ? QByteArray() : carry_ + piece.toByteArray();
    if (!carry_.isEmpty()) {
        piece = joined;
    }
    carry_ = std::move(cut.carry);
    walk_->sink = &sink;
    if (md_parse(piece.data(), MD_SIZE(piece.size()), &kParser, walk_.get()) != 0) {
        throw std::bad_alloc();  // the parser fails only when it runs out of memory
    }
    buffer_.remove(0, cut.at);
    return ended_ && buffer_.isEmpty() ? Step::Done : Step::More;
}

}  // namespace quorvane
