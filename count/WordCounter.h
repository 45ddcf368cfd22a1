#pragma once

#include <QtGlobal>

#include <cstddef>

namespace quorvane {

// Streaming word count of a file's bytes, as the count job needs it: the same result as
// wordCount(TrimASC(cutAtLastCJ(content))), fed in pieces of any size, in constant memory.
// The "CJ$" cut is honoured by remembering the count as it stood right after the first
// character of the latest match.
class WordCounter {
public:
    void feed(const char* data, std::size_t size) noexcept;

    // The word count of everything fed so far, with the cut applied.
    qint64 count() const noexcept;

    void reset() noexcept { *this = WordCounter(); }

private:
    // Implementation detail; the helper that implements the fast path may change these.
    qint64 words_ = 0;
    bool lastKeptWasSpace_ = true;  // "start of text" behaves as if after a space
    bool haveCut_ = false;
    qint64 wordsAtCut_ = 0;
    unsigned char tail_[2] = {0, 0};  // last two bytes fed, for matches across pieces
    std::size_t fed_ = 0;
    qint64 wordsAfter_[2] = {0, 0};  // count after each of the last two bytes
};

}  // namespace quorvane
