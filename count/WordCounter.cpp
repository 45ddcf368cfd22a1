#include "WordCounter.h"

#include "BlockScan.h"
#include "TextFilter.h"

#include <array>
#include <bit>

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

// Counts whole blocks with bit masks. A word starts at a kept letter whose nearest
// preceding byte that is not dropped is a space (or the start of the file). Those are
// the positions reachable from "just after a space" through runs of dropped bytes, which
// one addition finds for 64 bytes at once: a seed bit inside a run of dropped bits
// carries through the run and leaves a bit set at each position it passed.
template <Masks (*Classify)(const unsigned char*),
          quint64 (*LetterMask)(const unsigned char*, unsigned char)>
inline void scanBlocksBody(WordCounter::State& s, const unsigned char* p,
                                           std::size_t blocks) noexcept {
    quint64 carry = s.wordMayStart ? 1 : 0;
    qint64 words = s.words;
    const unsigned char* const first = p;
    for (std::size_t n = 0; n < blocks; ++n, p += kBlockSize) {
        const Masks m = Classify(p);
        const quint64 dropped = ~(m.word | m.space);
        const quint64 seeds = (m.space << 1) | carry;
        const quint64 reach = (((seeds & dropped) + dropped) ^ dropped) | seeds;
        const quint64 starts = m.word & reach;
        if (m.dollar != 0) [[unlikely]] {
            // The two bytes before the block: from the state before the first block.
            const unsigned char before1 = p == first ? s.before1 : p[-1];
            const unsigned char before2 = p == first ? s.before2 : p[-2];
            const quint64 c = LetterMask(p, 'c');
            const quint64 j = LetterMask(p, 'j');
            const quint64 jBefore = (j << 1) | (isJ(before1) ? 1 : 0);
            const quint64 cTwoBefore = (c << 2) | (isC(before1) ? 2 : 0) | (isC(before2) ? 1 : 0);
            const quint64 ends = m.dollar & jBefore & cTwoBefore;
            if (ends != 0) {
                const int last = 63 - std::countl_zero(ends);
                const quint64 upTo = last == 63 ? ~quint64{0} : (quint64{2} << last) - 1;
                s.haveCut = true;
                s.wordsAtCut = words + std::popcount(starts & upTo);
            }
        }
        words += std::popcount(starts);
        // The next block may start a word when this one ends in a space, or in dropped
        // bytes reached from one.
        carry = (m.space | (dropped & reach)) >> 63;
    }
    if (blocks > 0) {
        s.before2 = p[-2];
        s.before1 = p[-1];
    }
    s.words = words;
    s.wordMayStart = carry != 0;
}

using ScanBlocks = void (*)(WordCounter::State&, const unsigned char*, std::size_t) noexcept;

void scanBlocksPortable(WordCounter::State& s, const unsigned char* p,
                        std::size_t blocks) noexcept {
    scanBlocksBody<blockscan::classifyPortable, blockscan::letterMaskPortable>(s, p, blocks);
}

#ifdef QUORVANE_HAVE_SSE2
void scanBlocksSse2(WordCounter::State& s, const unsigned char* p, std::size_t blocks) noexcept {
    scanBlocksBody<blockscan::classifySse2, blockscan::letterMaskSse2>(s, p, blocks);
}
#endif

#ifdef QUORVANE_HAVE_WIDE_VECTORS
// The build targets every x86-64; wider vectors and the population-count instruction are
// used where the CPU says it has them.
__attribute__((target("popcnt"), flatten)) void scanBlocksSse2Popcnt(WordCounter::State& s,
                                                            const unsigned char* p,
                                                            std::size_t blocks) noexcept {
    scanBlocksBody<blockscan::classifySse2, blockscan::letterMaskSse2>(s, p, blocks);
}

__attribute__((target("avx2,popcnt"), flatten)) void scanBlocksAvx2(WordCounter::State& s,
                                                           const unsigned char* p,
                                                           std::size_t blocks) noexcept {
    scanBlocksBody<blockscan::classifyAvx2, blockscan::letterMaskAvx2>(s, p, blocks);
}

__attribute__((target("avx512f,avx512bw,popcnt"), flatten)) void scanBlocksAvx512(
    WordCounter::State& s, const unsigned char* p, std::size_t blocks) noexcept {
    scanBlocksBody<blockscan::classifyAvx512, blockscan::letterMaskAvx512>(s, p, blocks);
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
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            __builtin_cpu_init();
            return scanner == WordCounter::Scanner::Avx2
                       ? __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt")
                       : __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512f") &&
                             __builtin_cpu_supports("popcnt");
#else
            return false;
#endif
    }
    return false;
}

ScanBlocks scannerFor(WordCounter::Scanner scanner) noexcept {
    switch (scanner) {
        case WordCounter::Scanner::Portable:
            break;
        case WordCounter::Scanner::Sse2:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            __builtin_cpu_init();
            if (__builtin_cpu_supports("popcnt")) {
                return scanBlocksSse2Popcnt;
            }
#endif
#ifdef QUORVANE_HAVE_SSE2
            return scanBlocksSse2;
#else
            break;
#endif
        case WordCounter::Scanner::Avx2:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            return scanBlocksAvx2;
#else
            break;
#endif
        case WordCounter::Scanner::Avx512:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            return scanBlocksAvx512;
#else
            break;
#endif
    }
    return scanBlocksPortable;
}

WordCounter::Scanner bestScanner() noexcept {
    const QList<WordCounter::Scanner> all = WordCounter::supportedScanners();
    return all.last();
}

}  // namespace

QList<WordCounter::Scanner> WordCounter::supportedScanners() {
    QList<Scanner> result;
    for (const Scanner scanner : {Scanner::Portable, Scanner::Sse2, Scanner::Avx2, Scanner::Avx512}) {
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
    }
    return "?";
}

WordCounter::WordCounter() noexcept {
    static const Scanner best = bestScanner();
    scanner_ = best;
}

WordCounter::WordCounter(Scanner scanner) noexcept : scanner_(scanner) {}

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
    const std::size_t blocks = size / kBlockSize;
    if (blocks > 0) {
        static const std::array<ScanBlocks, 4> scanners = {
            scannerFor(Scanner::Portable), scannerFor(Scanner::Sse2), scannerFor(Scanner::Avx2),
            scannerFor(Scanner::Avx512)};
        scanners[static_cast<std::size_t>(scanner_)](s, p, blocks);
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
