#include "count/WordCounter.h"

#include "count/BlockScan.h"
#include "count/ScannerChoice.h"
#include "count/TextFilter.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#define QUORVANE_HAVE_ADD_WITH_CARRY 1
#include <immintrin.h>
#endif

namespace quorvane {

namespace {

using blockscan::kBlockSize;
using blockscan::Masks;

inline bool isC(unsigned char b) noexcept {
    return (b | 0x20) == 'c';
}
inline bool isJ(unsigned char b) noexcept {
    return (b | 0x20) == 'j';
}

void scanBytes(WordCounter::State& s, const unsigned char* p, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = p[i];
        switch (TextFilter::kindOf(b)) {
            case TextFilter::Kind::WordChar:
                s.words += s.wordMayStart ? 1 : 0;
                s.wordMayStart = false;
                break;
            case TextFilter::Kind::Space:
                s.wordMayStart = true;
                break;
            case TextFilter::Kind::Dropped:
                // The count after the "$" equals the count after its "C": neither "J"
                // (it follows a letter) nor "$" (dropped) can start a word.
                if (b == '$' && isJ(s.before1) && isC(s.before2)) {
                    s.haveCut = true;
                    s.wordsAtCut = s.words;
                }
                break;
        }
        s.before2 = s.before1;
        s.before1 = b;
    }
}

// Adds two 64-bit numbers and a carry of 0 or 1; `carry` becomes the carry out.
inline quint64 addWithCarry(quint64 a, quint64 b, unsigned char& carry) noexcept {
#ifdef QUORVANE_HAVE_ADD_WITH_CARRY
    unsigned long long sum = 0;
    carry = _addcarry_u64(carry, a, b, &sum);
    return sum;
#else
    const quint64 partial = a + b;
    const quint64 sum = partial + carry;
    carry = (partial < a || sum < partial) ? 1 : 0;
    return sum;
#endif
}

constexpr std::uintptr_t kPrefetchAhead = 2048;

inline void prefetch(std::uintptr_t address) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(reinterpret_cast<const void*>(address));
#else
    Q_UNUSED(address);
#endif
}

// The "$" bits of a block that end a "CJ$" (either letter in either case), given the
// block's "$" bits; the two bytes before the block must be readable.
template <quint64 (*LetterMask)(const unsigned char*, unsigned char)>
inline quint64 cutEndsFromLetters(const unsigned char* block, quint64 dollar) noexcept {
    const quint64 jBefore = (LetterMask(block, 'j') << 1) | (isJ(block[-1]) ? 1 : 0);
    const quint64 cTwoBefore =
        (LetterMask(block, 'c') << 2) | (isC(block[-1]) ? 2 : 0) | (isC(block[-2]) ? 1 : 0);
    return dollar & jBefore & cTwoBefore;
}

// Counts whole blocks with bit masks. A word starts at a kept letter whose nearest
// preceding byte that is not dropped is a space (or the start of the file). Those are the
// positions reachable from "just after a space" through runs of dropped bytes, and one
// addition finds them for 64 bytes at once: a seed bit at the start of a run of dropped
// bits carries through the run and lands on the kept byte after it. A seed lands only at
// the start of a run, or on a kept byte, as the byte before it is a space; so the sum
// holds a bit at each kept byte reached, and an unreached run keeps its bits, which are
// not words. A carry out of the top is a run reaching the next block.
//
// The one thing passed from block to block is that carry, through the add-with-carry
// instruction, so the blocks are counted about as fast as they are classified.
//
// Only the last "CJ$" counts. Where "$" is rare it is looked for only in the blocks that
// hold one. Where many blocks hold one, guessing which do costs more than looking in every
// block: then the last block with a match is remembered without a branch, and the count
// at its cut worked out once at the end. Returns how many blocks held a "$".
template <Masks (*Classify)(const unsigned char*),
          quint64 (*CutEnds)(const unsigned char*, quint64), bool kEveryBlock>
inline std::size_t scanBlocksBody(WordCounter::State& s, const unsigned char* p,
                                  std::size_t blocks) noexcept {
    unsigned char carry = s.wordMayStart ? 1 : 0;
    quint64 spaceBefore = 0;  // the last block's spaces, for a space at its last byte
    qint64 words = s.words;
    std::size_t withDollar = 0;
    // The first block behind the last two bytes fed before it, so that every block can
    // look at the two bytes before it.
    alignas(64) unsigned char firstBlock[2 * kBlockSize];
    if (blocks > 0) {
        firstBlock[kBlockSize - 2] = s.before2;
        firstBlock[kBlockSize - 1] = s.before1;
        std::memcpy(firstBlock + kBlockSize, p, kBlockSize);
    }
    // The last block with a match: its cut ends, its word starts, the words before it.
    quint64 lastEnds = 0;
    quint64 lastStarts = 0;
    qint64 wordsBeforeLast = 0;
    for (std::size_t n = 0; n < blocks; ++n, p += kBlockSize) {
        // Bytes counted where the file lies mapped come from main memory, not from a
        // buffer a read has just filled; asking for them early keeps the count going.
        // A look ahead past the end asks for nothing that could fail.
        prefetch(reinterpret_cast<std::uintptr_t>(p) + kPrefetchAhead);
        const Masks m = Classify(p);
        const quint64 dropped = ~(m.word | m.space);
        // A space at the block's last byte seeds the next block; it is never a dropped
        // byte, so it never comes with a carry.
        const quint64 seeds = (m.space << 1) | (spaceBefore >> 63);
        const quint64 starts = m.word & addWithCarry(seeds, dropped, carry);
        if (kEveryBlock || m.dollar != 0) {
            const quint64 ends = CutEnds(n == 0 ? firstBlock + kBlockSize : p, m.dollar);
            withDollar += m.dollar != 0 ? 1 : 0;
            lastStarts = ends != 0 ? starts : lastStarts;
            wordsBeforeLast = ends != 0 ? words : wordsBeforeLast;
            lastEnds = ends != 0 ? ends : lastEnds;
        }
        words += std::popcount(starts);
        spaceBefore = m.space;
    }
    if (lastEnds != 0) {
        // Up to and including the last "$" of the last match.
        const quint64 upTo = ~quint64{0} >> std::countl_zero(lastEnds);
        s.haveCut = true;
        s.wordsAtCut = wordsBeforeLast + std::popcount(lastStarts & upTo);
    }
    if (blocks > 0) {
        s.before2 = p[-2];
        s.before1 = p[-1];
    }
    s.words = words;
    s.wordMayStart = carry != 0 || (spaceBefore >> 63) != 0;
    return withDollar;
}

constexpr std::size_t kAlignFrom = 1024;
// More than one block in this many holding a "$" makes the search in every block pay.
constexpr std::size_t kDollarsOften = 4;

using ScanBlocks = std::size_t (*)(WordCounter::State&, const unsigned char*, std::size_t) noexcept;

// Each scanner twice: searching for a cut where there is a "$", and in every block.
struct ScanPair {
    ScanBlocks whereDollar;
    ScanBlocks everyBlock;
    // Whether looking in every block is ever the faster way: only where the cut ends of
    // a block take a few instructions (AVX-512); elsewhere the letters cost more than the
    // guesses that go wrong.
    bool everyBlockPays;
};

template <bool kEveryBlock>
std::size_t scanBlocksPortable(WordCounter::State& s, const unsigned char* p,
                               std::size_t blocks) noexcept {
    return scanBlocksBody<blockscan::classifyPortable,
                          cutEndsFromLetters<blockscan::letterMaskPortable>, kEveryBlock>(s, p,
                                                                                          blocks);
}

#ifdef QUORVANE_HAVE_SSE2
template <bool kEveryBlock>
std::size_t scanBlocksSse2(WordCounter::State& s, const unsigned char* p,
                           std::size_t blocks) noexcept {
    return scanBlocksBody<blockscan::classifySse2, cutEndsFromLetters<blockscan::letterMaskSse2>,
                          kEveryBlock>(s, p, blocks);
}
#endif

#ifdef QUORVANE_HAVE_WIDE_VECTORS
// The build targets every x86-64; wider vectors and the population-count instruction are
// used where the CPU says it has them.
template <bool kEveryBlock>
__attribute__((target("popcnt"), flatten)) std::size_t scanBlocksSse2Popcnt(
    WordCounter::State& s, const unsigned char* p, std::size_t blocks) noexcept {
    return scanBlocksBody<blockscan::classifySse2, cutEndsFromLetters<blockscan::letterMaskSse2>,
                          kEveryBlock>(s, p, blocks);
}

template <bool kEveryBlock>
__attribute__((target("avx2,popcnt"), flatten)) std::size_t scanBlocksAvx2(
    WordCounter::State& s, const unsigned char* p, std::size_t blocks) noexcept {
    return scanBlocksBody<blockscan::classifyAvx2, cutEndsFromLetters<blockscan::letterMaskAvx2>,
                          kEveryBlock>(s, p, blocks);
}

template <bool kEveryBlock>
__attribute__((target("avx512f,avx512bw,popcnt"), flatten)) std::size_t scanBlocksAvx512(
    WordCounter::State& s, const unsigned char* p, std::size_t blocks) noexcept {
    return scanBlocksBody<blockscan::classifyAvx512, blockscan::cutEndsAvx512, kEveryBlock>(s, p,
                                                                                            blocks);
}

template <bool kEveryBlock>
__attribute__((target("avx512f,avx512bw,avx512vbmi,popcnt"), flatten)) std::size_t
scanBlocksAvx512Vbmi(WordCounter::State& s, const unsigned char* p, std::size_t blocks) noexcept {
    return scanBlocksBody<blockscan::classifyAvx512Vbmi, blockscan::cutEndsAvx512, kEveryBlock>(
        s, p, blocks);
}
#endif

bool cpuHas(WordCounter::Scanner scanner) noexcept {
    switch (scanner) {
        case WordCounter::Scanner::Portable:
            return true;
        case WordCounter::Scanner::Sse2:
#ifdef QUORVANE_HAVE_SSE2
            return true;
#else
            return false;
#endif
        case WordCounter::Scanner::Avx2:
        case WordCounter::Scanner::Avx512:
        case WordCounter::Scanner::Avx512Vbmi:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            __builtin_cpu_init();
            if (!__builtin_cpu_supports("popcnt")) {
                return false;
            }
            if (scanner == WordCounter::Scanner::Avx2) {
                return __builtin_cpu_supports("avx2");
            }
            return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f") &&
                   (scanner == WordCounter::Scanner::Avx512 ||
                    __builtin_cpu_supports("avx512vbmi"));
#else
            return false;
#endif
    }
    return false;
}

// The classic rule's block loops, plain and with the "CJ$" search, on each instruction set.
struct ClassicScanners {
    static ScanPair portable() noexcept {
        return {scanBlocksPortable<false>, scanBlocksPortable<true>, false};
    }
#ifdef QUORVANE_HAVE_SSE2
    static ScanPair sse2() noexcept { return {scanBlocksSse2<false>, scanBlocksSse2<true>, false}; }
#endif
#ifdef QUORVANE_HAVE_WIDE_VECTORS
    static ScanPair sse2Popcnt() noexcept {
        return {scanBlocksSse2Popcnt<false>, scanBlocksSse2Popcnt<true>, false};
    }
    static ScanPair avx2() noexcept { return {scanBlocksAvx2<false>, scanBlocksAvx2<true>, false}; }
    static ScanPair avx512() noexcept {
        return {scanBlocksAvx512<false>, scanBlocksAvx512<true>, true};
    }
    static ScanPair avx512Vbmi() noexcept {
        return {scanBlocksAvx512Vbmi<false>, scanBlocksAvx512Vbmi<true>, true};
    }
#endif
};

ScanPair scannerFor(WordCounter::Scanner scanner) noexcept {
    return chooseScanner<ClassicScanners>(scanner);
}

WordCounter::Scanner bestScanner() noexcept {
    const QList<WordCounter::Scanner> all = WordCounter::supportedScanners();
    return all.last();
}

}  // namespace

QList<WordCounter::Scanner> WordCounter::supportedScanners() {
    QList<Scanner> result;
    for (const Scanner scanner :
         {Scanner::Portable, Scanner::Sse2, Scanner::Avx2, Scanner::Avx512, Scanner::Avx512Vbmi}) {
        if (cpuHas(scanner)) {
            result.append(scanner);
        }
    }
    return result;
}

const char* WordCounter::scannerName(Scanner scanner) {
    switch (scanner) {
        case Scanner::Portable:
            return "portable";
        case Scanner::Sse2:
            return "sse2";
        case Scanner::Avx2:
            return "avx2";
        case Scanner::Avx512:
            return "avx512";
        case Scanner::Avx512Vbmi:
            return "avx512vbmi";
    }
    return "?";
}

WordCounter::WordCounter() noexcept {
    static const Scanner best = bestScanner();
    scanner_ = best;
}

WordCounter::WordCounter(Scanner scanner, CutSearch search) noexcept
    : scanner_(scanner), search_(search) {}

void WordCounter::load(State& s) const noexcept {
    s.words = words_;
    s.wordMayStart = wordMayStart_;
    s.haveCut = haveCut_;
    s.wordsAtCut = wordsAtCut_;
    s.before2 = tail_[0];
    s.before1 = tail_[1];
}

void WordCounter::store(const State& s) noexcept {
    words_ = s.words;
    wordMayStart_ = s.wordMayStart;
    haveCut_ = s.haveCut;
    wordsAtCut_ = s.wordsAtCut;
    tail_[0] = s.before2;
    tail_[1] = s.before1;
}

void WordCounter::feed(const char* data, std::size_t size) noexcept {
    State s;
    load(s);
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    // A block that straddles two cache lines costs two loads: a long piece is taken up to
    // the next line byte by byte.
    if (size >= kAlignFrom) {
        const std::size_t misaligned = reinterpret_cast<std::uintptr_t>(p) % kBlockSize;
        const std::size_t lead = misaligned == 0 ? 0 : kBlockSize - misaligned;
        scanBytes(s, p, lead);
        p += lead;
        size -= lead;
    }
    const std::size_t blocks = size / kBlockSize;
    if (blocks > 0) {
        static const std::array<ScanPair, 5> scanners = {
            scannerFor(Scanner::Portable), scannerFor(Scanner::Sse2), scannerFor(Scanner::Avx2),
            scannerFor(Scanner::Avx512), scannerFor(Scanner::Avx512Vbmi)};
        const ScanPair& scan = scanners[static_cast<std::size_t>(scanner_)];
        const bool everyBlock =
            search_ == CutSearch::EveryBlock ||
            (search_ == CutSearch::Adaptive && scan.everyBlockPays && dollarsOften_);
        const std::size_t withDollar =
            (everyBlock ? scan.everyBlock : scan.whereDollar)(s, p, blocks);
        dollarsOften_ = withDollar * kDollarsOften > blocks;
    }
    scanBytes(s, p + blocks * kBlockSize, size - blocks * kBlockSize);
    store(s);
}

void WordCounter::resumeAfterSpace() noexcept {
    wordMayStart_ = true;
    tail_[0] = ' ';
    tail_[1] = ' ';
}

qint64 WordCounter::combineParts(const Part* parts, std::size_t count) noexcept {
    qint64 before = 0;
    qint64 result = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (parts[i].haveCut) {
            result = before + parts[i].wordsAtCut;
        }
        before += parts[i].words;
    }
    // Without any cut every word counts.
    for (std::size_t i = 0; i < count; ++i) {
        if (parts[i].haveCut) {
            return result;
        }
    }
    return before;
}

void WordCounter::feedBytewise(const char* data, std::size_t size) noexcept {
    State s;
    load(s);
    scanBytes(s, reinterpret_cast<const unsigned char*>(data), size);
    store(s);
}

}  // namespace quorvane
