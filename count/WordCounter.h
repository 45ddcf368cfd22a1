#pragma once

#include <QList>
#include <QtGlobal>

#include <cstddef>

namespace quorvane {

// Streaming word count of a file's bytes, as the count job needs it: the same result as
// wordCount(TrimASC(cutAtLastCJ(content))), fed in pieces of any size, in constant memory.
// The "CJ$" cut is honoured by remembering the count as it stood right after the first
// character of the latest match.
class WordCounter {
public:
    // How whole 64-byte blocks are classified. All give the same counts; the fastest the
    // CPU supports is used unless one is named (the tests run each).
    enum class Scanner { Portable, Sse2, Avx2, Avx512, Avx512Vbmi };
    static QList<Scanner> supportedScanners();
    static const char* scannerName(Scanner scanner);

    // Where the "CJ$" search runs: in the blocks that hold a "$", in every block, or
    // whichever the last piece fed suggests (the others are for tests and benchmarks).
    enum class CutSearch { Adaptive, WhereDollar, EveryBlock };

    WordCounter() noexcept;
    explicit WordCounter(Scanner scanner, CutSearch search = CutSearch::Adaptive) noexcept;

    void feed(const char* data, std::size_t size) noexcept;

    // The word count of everything fed so far, with the cut applied.
    qint64 count() const noexcept { return haveCut_ ? wordsAtCut_ : words_; }

    void reset() noexcept { *this = WordCounter(scanner_, search_); }

    // For counting a file in parts: a part that starts right after a space is counted
    // exactly as it would be in sequence, but for the words before it, as a space both
    // lets the next letter start a word and ends any "CJ$" in progress. Its words, and
    // where a cut stood, add up by combineParts.
    void resumeAfterSpace() noexcept;
    struct Part {
        qint64 words = 0;
        bool haveCut = false;
        qint64 wordsAtCut = 0;
    };
    Part part() const noexcept { return {words_, haveCut_, wordsAtCut_}; }
    // The count of a file from its parts in order.
    static qint64 combineParts(const Part* parts, std::size_t count) noexcept;

    // The same counting one byte at a time, without the block scanner; results are equal.
    void feedBytewise(const char* data, std::size_t size) noexcept;

    // Everything the count depends on, carried from one piece (or block) to the next.
    struct State {
        qint64 words = 0;
        // A word starts at the next kept letter: the last byte that was not dropped was a
        // space, or there was none yet.
        bool wordMayStart = true;
        bool haveCut = false;
        qint64 wordsAtCut = 0;
        unsigned char before2 = 0;  // second-to-last byte fed
        unsigned char before1 = 0;  // last byte fed
    };

private:
    void load(State& s) const noexcept;
    void store(const State& s) noexcept;

    qint64 words_ = 0;
    bool wordMayStart_ = true;
    bool haveCut_ = false;
    qint64 wordsAtCut_ = 0;
    unsigned char tail_[2] = {0, 0};  // last two bytes fed, for matches across pieces
    Scanner scanner_ = Scanner::Portable;
    CutSearch search_ = CutSearch::Adaptive;
    bool dollarsOften_ = false;  // many blocks of the last piece held a "$"
};

}  // namespace quorvane
