#include "documents/MarkdownBlocks.h"

#include <array>
#include <cstring>

namespace quorvane {

namespace MarkdownBlocks {

namespace {

// The HTML blocks that blank lines do not end: what opens each, what ends it, and the
// line that opens it again when a piece is cut inside one.
struct HtmlBlock {
    const char* opens;  // after '<'
    bool needsTagEnd;   // the name must be followed by white space, '>' or the line end
    const char* ends;
    const char* carry;
};

constexpr std::array<HtmlBlock, 8> kHtmlBlocks = {{
    {"!--", false, "-->", "<!--\n"},
    {"![CDATA[", false, "]]>", "<![CDATA[\n"},
    {"?", false, "?>", "<?\n"},
    {"script", true, "</script>", "<script>\n"},
    {"pre", true, "</pre>", "<pre>\n"},
    {"style", true, "</style>", "<style>\n"},
    {"textarea", true, "</textarea>", "<textarea>\n"},
    {"!", false, ">", "<!X\n"},  // a declaration: "!" and a letter, checked below
}};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool startsWithNoCase(QByteArrayView text, const char* prefix) {
    const qsizetype n = qsizetype(std::strlen(prefix));
    if (text.size() < n) {
        return false;
    }
    for (qsizetype i = 0; i < n; ++i) {
        if (lower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

bool containsNoCase(QByteArrayView text, const char* needle) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (startsWithNoCase(text.sliced(i), needle)) {
            return true;
        }
    }
    return false;
}

bool isBlank(QByteArrayView line) {
    for (char c : line) {
        if (c != ' ' && c != '\t' && c != '\r') {
            return false;
        }
    }
    return true;
}

QByteArrayView trimmedEnd(QByteArrayView line) {
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) {
        line.chop(1);
    }
    return line;
}

int indentOf(QByteArrayView line) {
    int indent = 0;
    for (qsizetype i = 0; i < line.size() && (line[i] == ' ' || line[i] == '\t'); ++i) {
        indent += line[i] == '\t' ? 4 : 1;
    }
    return indent;
}

// The line after its block quote markers, and the spaces it is indented by after them:
// four or more make it indented code, which opens nothing.
QByteArrayView content(QByteArrayView line, int& indent) {
    for (;;) {
        indent = 0;
        while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t')) {
            indent += line.front() == '\t' ? 4 : 1;
            line = line.sliced(1);
        }
        if (indent > 3 || line.isEmpty() || line.front() != '>') {
            return line;
        }
        line = line.sliced(1);
    }
}

// The block a line is in, carried from line to line.
struct Open {
    char fenceChar = 0;
    qsizetype fenceLength = 0;
    int html = -1;  // an index in kHtmlBlocks

    bool any() const { return fenceChar != 0 || html >= 0; }
    QByteArray carry() const {
        if (fenceChar != 0) {
            return QByteArray(fenceLength, fenceChar) + '\n';
        }
        return html >= 0 ? QByteArray(kHtmlBlocks[std::size_t(html)].carry) : QByteArray();
    }
};

qsizetype runOf(QByteArrayView text, char c) {
    qsizetype n = 0;
    while (n < text.size() && text[n] == c) {
        ++n;
    }
    return n;
}

bool opensFence(QByteArrayView line, Open& open) {
    if (line.isEmpty() || (line.front() != '`' && line.front() != '~')) {
        return false;
    }
    const char c = line.front();
    const qsizetype n = runOf(line, c);
    if (n < 3 || (c == '`' && line.sliced(n).contains('`'))) {
        return false;
    }
    open.fenceChar = c;
    open.fenceLength = n;
    return true;
}

bool opensHtml(QByteArrayView line, Open& open) {
    if (line.size() < 2 || line.front() != '<') {
        return false;
    }
    const QByteArrayView rest = line.sliced(1);
    for (std::size_t i = 0; i < kHtmlBlocks.size(); ++i) {
        const HtmlBlock& block = kHtmlBlocks[i];
        const qsizetype n = qsizetype(std::strlen(block.opens));
        if (!startsWithNoCase(rest, block.opens)) {
            continue;
        }
        const char after = rest.size() > n ? rest[n] : '\n';
        if (block.needsTagEnd && after != ' ' && after != '\t' && after != '>' && after != '\r' &&
            after != '\n') {
            continue;
        }
        if (i == kHtmlBlocks.size() - 1 && !((after | 0x20) >= 'a' && (after | 0x20) <= 'z')) {
            return false;
        }
        if (!containsNoCase(rest.sliced(n), block.ends)) {
            open.html = int(i);
        }
        return true;
    }
    return false;
}

// Moves `open` past one line; true when the line is blank and between blocks.
bool pass(QByteArrayView line, Open& open) {
    int indent = 0;
    const QByteArrayView text = content(line, indent);
    if (open.fenceChar != 0) {
        if (indent <= 3 && runOf(text, open.fenceChar) >= open.fenceLength &&
            isBlank(text.sliced(runOf(text, open.fenceChar)))) {
            open = Open();
        }
        return false;
    }
    if (open.html >= 0) {
        if (containsNoCase(line, kHtmlBlocks[std::size_t(open.html)].ends)) {
            open = Open();
        }
        return false;
    }
    if (isBlank(line)) {
        return true;
    }
    if (indent <= 3) {
        opensFence(text, open) || opensHtml(text, open);
    }
    return false;
}

// Where to cut a text with no line end in it: after its last space, or else before the
// character that runs over its end.
qsizetype cutInLine(QByteArrayView text) {
    for (qsizetype i = text.size(); i > 0; --i) {
        if (text[i - 1] == ' ' || text[i - 1] == '\t') {
            return i;
        }
    }
    qsizetype start = text.size() - 1;
    while (start > 0 && (uchar(text[start]) & 0xC0) == 0x80) {
        --start;
    }
    const uchar lead = uchar(text[start]);
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return start > 0 && start + length > text.size() ? start : text.size();
}

}  // namespace

qsizetype frontMatterSize(QByteArrayView text) {
    qsizetype end = text.indexOf('\n');
    if (end < 0) {
        return 0;
    }
    const QByteArrayView first = trimmedEnd(text.first(end));
    const bool yaml = first == "---";
    if (!yaml && first != "+++") {
        return 0;
    }
    // "---" and then a blank line is a rule across the page.
    for (bool firstLine = true; end < text.size(); firstLine = false) {
        const qsizetype start = end + 1;
        end = text.indexOf('\n', start);
        if (end < 0) {
            end = text.size();
        }
        const QByteArrayView line = trimmedEnd(text.sliced(start, end - start));
        if (firstLine && line.isEmpty()) {
            return 0;
        }
        if (line == first || (yaml && line == "...")) {
            return qMin(end + 1, text.size());
        }
    }
    return 0;
}

Cut lastCut(QByteArrayView text) {
    Open open;
    // A blank line parts blocks only if the line after it is not indented: an indented
    // one may go on with the list item before it, and on its own it would be code.
    qsizetype between = -1, maybeBetween = -1, blank = -1, lineEnd = -1;
    Open atBlank, atLineEnd;
    qsizetype start = 0;
    for (qsizetype end; (end = text.indexOf('\n', start)) >= 0; start = end + 1) {
        const QByteArrayView line = text.sliced(start, end - start);
        if (maybeBetween >= 0 && !isBlank(line)) {
            if (indentOf(line) <= 3) {
                between = maybeBetween;
            }
            maybeBetween = -1;
        }
        if (pass(line, open)) {
            maybeBetween = end + 1;
        }
        if (isBlank(line)) {
            blank = end + 1;
            atBlank = open;
        }
        lineEnd = end + 1;
        atLineEnd = open;
    }
    // The line cut short at the end shows how it begins.
    const QByteArrayView rest = text.sliced(start);
    if (maybeBetween >= 0 && indentOf(rest) <= 3 && indentOf(rest) < rest.size()) {
        between = maybeBetween;
    }
    if (between >= 0) {
        return {between, {}};
    }
    if (blank >= 0) {
        return {blank, atBlank.carry()};
    }
    if (lineEnd >= 0) {
        return {lineEnd, atLineEnd.carry()};
    }
    return {cutInLine(text), {}};
}

}  // namespace MarkdownBlocks

}  // namespace quorvane
