#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace quorvane {

// The byte filter behind every word count. One byte classification serves two consumers:
// TrimASC, which builds the filtered text, and WordCounter, which only counts and so
// never holds more than one read buffer of a file in memory (its fast path applies the
// same classes 64 bytes at a time; a randomized test holds the two to the same result).
//
// A byte is kept when it is an ASCII letter, a digit, a space or a full stop; a space is
// dropped when the last kept byte was a space too. Everything else is dropped without a
// trace, so the bytes on either side of it join up.
class TextFilter {
public:
    enum class Kind : unsigned char { Dropped = 0, Space = 1, WordChar = 2 };

    static Kind kindOf(unsigned char byte) noexcept;

    // Feeds one byte. Returns the byte that the filtered text gains, or 0 when it gains none.
    // The filtered text here still has its leading and trailing space; TrimASC trims them.
    char feed(unsigned char byte) noexcept;

private:
    // The empty result does not end with a space.
    bool lastKeptWasSpace_ = false;
};

// The filtered text: letters, digits, single spaces and full stops, no leading or
// trailing space.
QByteArray TrimASC(const QByteArray& content);

// Space-separated pieces of a filtered text; 0 for the empty text.
qint64 wordCount(const QByteArray& filtered);

// Keeps the content up to and including the first character of its last "CJ$"
// (letters compared without regard to case); content without a match stays whole.
QByteArray cutAtLastCJ(const QByteArray& content);

// Position of the first character of the last "CJ$" (any letter case), or -1.
qsizetype lastCJPosition(const QByteArray& content);

}  // namespace quorvane
