#pragma once

#include <QByteArray>
#include <QStringView>

namespace quorvane {

// Gathers the text a document shows, as UTF-8 for the word counters. Every kind of white
// space becomes one plain space and runs of them collapse, so a line break, tab, paragraph
// or table cell parts two words whatever the counting rule; nothing is emitted before the
// first word. The text opens with a UTF-8 byte-order mark, written with the first word, so
// a counter that decodes knows the encoding; the classic rule drops those bytes.
class TextSink {
public:
    void text(QStringView text);
    // Text that is UTF-8 already (libxml2 hands it over so).
    void utf8(const char* data, qsizetype size);
    void codePoint(char32_t c);
    // A boundary between blocks: the words on either side stay apart.
    void gap() { pendingGap_ = started_; }
    // Bytes that change no count under either rule (a byte-order mark glued to the text
    // before it), for a reader that did much work without finding text: the caller of
    // read() gets something back and can yield, where 0 would mean the end.
    void filler();

    qsizetype available() const { return out_.size() - readPos_; }
    qsizetype take(char* buffer, qsizetype size);
    void clear();

private:
    char* reserve(qsizetype characters);
    void commit(char* end);
    char* startCharacter(char* w);
    char* put(char* w, char32_t c);

    QByteArray out_;
    qsizetype readPos_ = 0;
    bool started_ = false;     // a character other than white space went out
    bool bomWritten_ = false;
    bool pendingGap_ = false;  // a space goes out before the next character
};

}  // namespace quorvane
