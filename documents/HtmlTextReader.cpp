#include "documents/HtmlTextReader.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <cstring>
#include <mutex>

#include "documents/ByteInput.h"
#include "documents/DocumentErrors.h"
#include "documents/TextSink.h"

namespace quorvane {

namespace {

bool nameIs(const xmlChar* name, std::initializer_list<const char*> names) {
    const char* n = reinterpret_cast<const char*>(name);
    // XHTML read as HTML may keep a prefix ("html:p").
    if (const char* colon = std::strchr(n, ':')) {
        n = colon + 1;
    }
    for (const char* candidate : names) {
        if (std::strcmp(n, candidate) == 0) {
            return true;
        }
    }
    return false;
}

bool leavesOut(const xmlChar* name) {
    return nameIs(name, {"head", "title", "script", "style", "template", "noscript"});
}

bool partsWords(const xmlChar* name) {
    return nameIs(name, {"address", "article", "aside", "blockquote", "body", "br", "button",
                         "caption", "dd", "details", "dialog", "div", "dl", "dt", "fieldset",
                         "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4",
                         "h5", "h6", "header", "hgroup", "hr", "html", "input", "legend", "li",
                         "main", "nav", "ol", "option", "p", "pre", "section", "select",
                         "summary", "table", "tbody", "td", "textarea", "tfoot", "th", "thead",
                         "tr", "ul", "img", "iframe", "video", "audio", "object"});
}

}  // namespace

struct HtmlTextReader::Parser {
    htmlParserCtxtPtr context = nullptr;
    htmlSAXHandler handler;
    TextSink* sink = nullptr;
    int leftOutDepth = 0;  // open elements whose text is not shown
    bool tooDeep = false;

    ~Parser() {
        if (context != nullptr) {
            htmlFreeParserCtxt(context);
        }
    }

    static Parser* of(void* userData) {
        return static_cast<Parser*>(userData);
    }
    static void onStart(void* userData, const xmlChar* name, const xmlChar**) {
        Parser* p = of(userData);
        if (p->context->nameNr > kMaxDepth) {
            p->tooDeep = true;
            xmlStopParser(p->context);
            return;
        }
        if (leavesOut(name)) {
            ++p->leftOutDepth;
        } else if (partsWords(name)) {
            p->sink->gap();
        }
    }
    static void onEnd(void* userData, const xmlChar* name) {
        Parser* p = of(userData);
        if (leavesOut(name)) {
            p->leftOutDepth = qMax(0, p->leftOutDepth - 1);
        } else if (partsWords(name)) {
            p->sink->gap();
        }
    }
    static void onText(void* userData, const xmlChar* text, int length) {
        Parser* p = of(userData);
        if (p->leftOutDepth == 0) {
            p->sink->utf8(reinterpret_cast<const char*>(text), length);
        }
    }
    static void onScriptText(void*, const xmlChar*, int) {}
};

HtmlTextReader::HtmlTextReader(std::unique_ptr<ByteInput> input, QString name)
    : input_(std::move(input)), name_(std::move(name)) {}

HtmlTextReader::~HtmlTextReader() = default;

DocumentReader::Start HtmlTextReader::start() {
    // libxml2 sets up its shared tables once, before any thread parses.
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    parser_ = std::make_unique<Parser>();
    std::memset(&parser_->handler, 0, sizeof parser_->handler);
    parser_->handler.startElement = &Parser::onStart;
    parser_->handler.endElement = &Parser::onEnd;
    parser_->handler.characters = &Parser::onText;
    // The HTML parser reports white space between tags as "ignorable"; in a page it is not.
    parser_->handler.ignorableWhitespace = &Parser::onText;
    parser_->handler.cdataBlock = &Parser::onScriptText;
    return Start::Document;
}

// Makes the push parser, its encoding told by the page's first bytes: how many of them
// (a byte-order mark) the parser is not to see, or -1 where no parser can be made.
qint64 HtmlTextReader::createParser(QByteArrayView first) {
    // libxml2's push parser looks for no byte-order mark: one is taken off here and names
    // the encoding; without one the page is taken for UTF-8 (as XHTML is) unless it
    // declares otherwise, and libxml2 falls back to Latin-1 on bytes that are not.
    qint64 from = 0;
    xmlCharEncoding encoding = XML_CHAR_ENCODING_UTF8;
    if (first.startsWith("\xEF\xBB\xBF")) {
        from = 3;
    } else if (first.startsWith("\xFF\xFE")) {
        from = 2;
        encoding = XML_CHAR_ENCODING_UTF16LE;
    } else if (first.startsWith("\xFE\xFF")) {
        from = 2;
        encoding = XML_CHAR_ENCODING_UTF16BE;
    }
    const QByteArray fileName = name_.toUtf8();
    parser_->context = htmlCreatePushParserCtxt(&parser_->handler, parser_.get(), nullptr, 0,
                                                fileName.constData(), encoding);
    if (parser_->context == nullptr) {
        return -1;
    }
    htmlCtxtUseOptions(parser_->context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR |
                                             HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    return from;
}

DocumentReader::Step HtmlTextReader::step(TextSink& sink) {
    if (ended_) {
        return Step::Done;
    }
    parser_->sink = &sink;
    piece_.resize(kPieceSize);
    const qint64 got = input_->read(piece_.data(), kPieceSize);
    if (got < 0) {
        return fail(input_->errorString());
    }
    ended_ = got == 0;
    qint64 from = 0;
    if (parser_->context == nullptr) {
        from = createParser(QByteArrayView(piece_.constData(), got));
        if (from < 0) {
            return fail(DocumentErrors::damaged(QStringLiteral("the page cannot be parsed")));
        }
    }
    htmlParseChunk(parser_->context, piece_.constData() + from, static_cast<int>(got - from),
                   ended_ ? 1 : 0);
    parser_->sink = nullptr;
    if (parser_->tooDeep) {
        return fail(DocumentErrors::unsupported(
            QStringLiteral("elements nested more than %1 deep").arg(kMaxDepth)));
    }
    // With recovery on, the parser stops early only when it cannot go on (no memory, an
    // input it cannot decode): the text after that point would be missing from the count.
    if (!ended_ && parser_->context->instate == XML_PARSER_EOF) {
        return fail(DocumentErrors::damaged(QStringLiteral("the page cannot be parsed to its end")));
    }
    return ended_ ? Step::Done : Step::More;
}

}  // namespace quorvane
