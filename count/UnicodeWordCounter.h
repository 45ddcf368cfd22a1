#pragma once

#include <QtGlobal>

#include <cstddef>

#include "count/WordCounter.h"

namespace quorvane {

// Streaming word count under the Unicode rule (see WordRule), fed in pieces of any size, in
// constant memory.
//
// The encoding: a byte-order mark picks UTF-8, UTF-16 or UTF-32 (either byte order);
// without one the bytes are UTF-8 when all of them are valid UTF-8, else Windows-1252.
// Whether they are valid is known only at the end, so until the first invalid byte both
// readings are counted side by side (one only while the bytes are ASCII, where the two agree)
// and the end picks one.
//
// A word is a maximal run of characters that are not white space and that holds a letter,
// digit or mark; each Han, hiragana and katakana character is a word of its own, with any
// marks that follow it. Everything after the last "CJ$" (any letter case) past its first
// character is ignored, as under the classic rule: the count is remembered as it stood right
// after the "$", which equals the count right after the "C" since neither "J" (it follows a
// letter) nor "$" (no letter) can start a word.
class UnicodeWordCounter {
public:
    UnicodeWordCounter() noexcept;
    // With the block classifier named (WordCounter's; the tests run each).
    explicit UnicodeWordCounter(WordCounter::Scanner scanner) noexcept;

    // A counter for a part of a file that starts where partStartIn put it: the encoding is
    // the one the file's first bytes (`head`, up to four) name.
    static UnicodeWordCounter forLaterPart(const char* head, std::size_t headSize,
                                           WordCounter::Scanner scanner) noexcept;
    static UnicodeWordCounter forLaterPart(const char* head, std::size_t headSize) noexcept;
    // Where in `bytes`, which lie at `offset` in a file beginning with `head`, a part may
    // start: right after a space or a line feed, one whole code unit from the file's start.
    // -1 where there is none.
    static qint64 partStartIn(const char* bytes, std::size_t size, qint64 offset, const char* head,
                              std::size_t headSize) noexcept;

    void feed(const char* data, std::size_t size) noexcept;
    // The count of everything fed so far; call once the last piece is in. It closes what is
    // still open: a byte-order mark cut short, a character cut short (which makes bytes
    // without a mark Windows-1252).
    qint64 count() noexcept;

    // What one reading's count depends on, carried from character to character.
    struct Reading {
        qint64 words = 0;
        qint64 wordsAtCut = 0;
        bool haveCut = false;
        // kMayStart: the run so far holds no letter, digit or mark (or there is no run);
        // kAfterIdeograph: the last character was a Han or kana character, or a mark that
        // followed one.
        unsigned char state = kMayStart;
        // Whether the last and second-to-last characters were a "C" or a "J", for the cut.
        unsigned char last1 = 0;
        unsigned char last2 = 0;

        qint64 result() const noexcept { return haveCut ? wordsAtCut : words; }

        static constexpr unsigned char kMayStart = 1;
        static constexpr unsigned char kAfterIdeograph = 2;
    };

    // What a part came to, closed like count(): both readings of bytes without a mark, and
    // whether the part was all UTF-8. The parts of a file, in order, add up by combineParts:
    // the file is UTF-8 when every part was, as no character straddles two parts.
    struct Part {
        Reading decoded;
        Reading windows1252;
        bool guessed = false;  // no mark: UTF-8 while valid, else Windows-1252
        bool valid = true;
    };
    Part part() noexcept;
    static qint64 combineParts(const Part* parts, std::size_t count) noexcept;

private:
    enum class Encoding : unsigned char {
        Undecided,  // the first bytes may still turn out to be a byte-order mark
        Guess,      // no mark: UTF-8 while valid, and Windows-1252
        Utf8,
        Utf16LE,
        Utf16BE,
        Utf32LE,
        Utf32BE,
    };

    static Encoding markedEncoding(const unsigned char* head, int size, bool final,
                                   int& markSize) noexcept;
    void decide(bool final) noexcept;
    void close() noexcept;
    std::size_t scalarBytes(const unsigned char* p, std::size_t i, std::size_t end,
                            std::size_t n) noexcept;
    void findKinds() noexcept;
    void consume(const unsigned char* p, std::size_t n) noexcept;
    void consumeUtf8(const unsigned char* p, std::size_t n) noexcept;
    void consumeUtf16(const unsigned char* p, std::size_t n, bool bigEndian) noexcept;
    void consumeUtf32(const unsigned char* p, std::size_t n, bool bigEndian) noexcept;
    void cp1252Byte(unsigned char b) noexcept;
    void utf8Byte(unsigned char b) noexcept;
    void utf8Invalid() noexcept;
    void utf16Unit(char16_t unit) noexcept;
    void codePoint(char32_t code) noexcept;

    const unsigned char* kinds_ = nullptr;  // kinds of characters, found once per process
    WordCounter::Scanner scanner_;
    Encoding encoding_ = Encoding::Undecided;
    unsigned char head_[4] = {};
    int headSize_ = 0;

    Reading text_;    // the reading the mark picked, or UTF-8
    Reading cp1252_;  // Windows-1252, once a byte beyond ASCII came with no mark
    bool textLive_ = true;
    bool cp1252Live_ = false;

    // A UTF-8 character under way.
    char32_t utf8Code_ = 0;
    int utf8Need_ = 0;
    unsigned char utf8Low_ = 0x80;
    unsigned char utf8High_ = 0xBF;

    // A UTF-16 or UTF-32 code unit under way, and a high surrogate waiting for its partner.
    unsigned char unit_[4] = {};
    int unitSize_ = 0;
    char16_t highSurrogate_ = 0;
};

}  // namespace quorvane
