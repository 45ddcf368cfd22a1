#include "count/UnicodeWordCounter.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "count/BlockScan.h"
#include "count/ScannerChoice.h"

namespace quorvane {

namespace {

using Reading = UnicodeWordCounter::Reading;
using blockscan::kBlockSize;

enum Kind : unsigned char { kOther = 0, kSpace = 1, kWord = 2, kMark = 3, kIdeograph = 4 };
enum CutMark : unsigned char { kNoMark = 0, kMarkC = 1, kMarkJ = 2 };

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 at 0x80..0x9F. The five bytes it leaves undefined read as the C1 controls of
// the same value, as Windows itself reads them; every other byte is its Latin-1 character.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// QChar::isSpace is exactly Unicode's White_Space property (a test holds it to the list).
Kind kindOf(char32_t code) noexcept {
    if (QChar::isSpace(code)) {
        return kSpace;
    }
    switch (QChar::category(code)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            return kMark;
        case QChar::Letter_Uppercase:
        case QChar::Letter_Lowercase:
        case QChar::Letter_Titlecase:
        case QChar::Letter_Modifier:
        case QChar::Letter_Other:
        case QChar::Number_DecimalDigit:
        case QChar::Number_Letter:
        case QChar::Number_Other:
            break;
        default:
            return kOther;
    }
    // The prolonged sound mark belongs to both kana scripts, so Unicode gives it neither.
    if (code == 0x30FC || code == 0xFF70) {
        return kIdeograph;
    }
    switch (QChar::script(code)) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            return kIdeograph;
        default:
            return kWord;
    }
}

// Looking a character up in Qt's tables three times would cost more than all the rest of
// the counting; the kind of every character of the Basic Multilingual Plane, and of every
// byte beyond ASCII read as Windows-1252 after them, is found once per process.
constexpr std::size_t kCp1252Kinds = 0x10000;

const unsigned char* kindTable() noexcept {
    static unsigned char table[0x10000 + 0x80];
    static const bool filled = [] {
        for (char32_t code = 0; code < 0x10000; ++code) {
            table[code] = kindOf(code);
        }
        for (unsigned b = 0x80; b < 0x100; ++b) {
            const char32_t code = b < 0xA0 ? kCp1252High[b - 0x80] : b;
            table[kCp1252Kinds + b - 0x80] = table[code];
        }
        return true;
    }();
    static_cast<void>(filled);
    return table;
}

inline unsigned char cutMarkOf(char32_t c) noexcept {
    // c | 0x20 folds 'C' onto 'c' and no other character onto either letter.
    const char32_t folded = c | 0x20;
    return folded == U'c' ? kMarkC : folded == U'j' ? kMarkJ : kNoMark;
}

// What a character of each kind does to a reading: the next state and the words it adds,
// by kind and state. As a table, so that text whose kinds change from character to
// character costs no mispredicted branches.
struct Step {
    unsigned char next;
    unsigned char add;
};

constexpr unsigned char kMay = Reading::kMayStart;
constexpr unsigned char kIdeo = Reading::kAfterIdeograph;

constexpr Step kSteps[5][4] = {
    // kOther: the run goes on, and a mark after it no longer belongs to an ideograph.
    {{0, 0}, {kMay, 0}, {0, 0}, {kMay, 0}},
    // kSpace: a new run may start.
    {{kMay, 0}, {kMay, 0}, {kMay, 0}, {kMay, 0}},
    // kWord: the run holds a letter; the first one counts it.
    {{0, 0}, {0, 1}, {0, 0}, {0, 1}},
    // kMark: like a letter, but part of an ideograph just before it.
    {{0, 0}, {0, 1}, {kIdeo, 0}, {kMay | kIdeo, 0}},
    // kIdeograph: a word of its own; a new run may start after it.
    {{kMay | kIdeo, 1}, {kMay | kIdeo, 1}, {kMay | kIdeo, 1}, {kMay | kIdeo, 1}},
};

// A character beyond ASCII, which is never a "C", "J" or "$".
inline void putBeyondAscii(Reading& t, unsigned char kind) noexcept {
    const Step step = kSteps[kind][t.state];
    t.words += step.add;
    t.state = step.next;
    t.last2 = t.last1;
    t.last1 = kNoMark;
}

inline void put(Reading& t, char32_t code, unsigned char kind) noexcept {
    const Step step = kSteps[kind][t.state];
    t.words += step.add;
    t.state = step.next;
    if (code == U'$' && t.last1 == kMarkJ && t.last2 == kMarkC) {
        t.haveCut = true;
        t.wordsAtCut = t.words;
    }
    t.last2 = t.last1;
    t.last1 = cutMarkOf(code);
}

// What the block scan looks up: the kinds of characters, the Windows-1252 bytes beyond
// ASCII that make up words, and whether the shortcuts the scan takes hold for this Qt's
// character data.
struct Tables {
    const unsigned char* kinds = nullptr;
    blockscan::HighByteTable windows1252Words;
    // Every character led by D0 or D1 is a letter, and by E4..E9 an ideograph (but for
    // E4 B7).
    bool leadsHold = false;
    // Of the Windows-1252 bytes beyond ASCII only A0 is white space, and none is a mark or
    // an ideograph.
    bool windows1252Holds = false;
};

bool allOfKind(const unsigned char* kinds, char32_t from, char32_t to, unsigned char kind) {
    for (char32_t code = from; code <= to; ++code) {
        if (kinds[code] != kind) {
            return false;
        }
    }
    return true;
}

const Tables& tables() noexcept {
    static const Tables t = [] {
        Tables made;
        made.kinds = kindTable();
        made.leadsHold = allOfKind(made.kinds, 0x400, 0x47F, kWord) &&
                         allOfKind(made.kinds, 0x4000, 0x4DBF, kIdeograph) &&
                         allOfKind(made.kinds, 0x4E00, 0x9FFF, kIdeograph);
        made.windows1252Holds = true;
        for (unsigned b = 0x80; b < 0x100; ++b) {
            const unsigned char kind = made.kinds[kCp1252Kinds + b - 0x80];
            if (kind == kWord) {
                made.windows1252Words.set(static_cast<unsigned char>(b));
            }
            made.windows1252Holds = made.windows1252Holds && kind != kMark && kind != kIdeograph &&
                                    (kind == kSpace) == (b == 0xA0);
        }
        return made;
    }();
    return t;
}

// One reading's characters in a block: bit masks over the first `length` bytes, with a
// character's kind at its first byte and the bytes that continue it counted as "other".
struct BlockKinds {
    quint64 word = 0;
    quint64 space = 0;
    quint64 ideograph = 0;
    quint64 starts = 0;  // first bytes of characters
    int length = kBlockSize;
};

inline quint64 firstBits(int length) noexcept {
    return length == kBlockSize ? ~quint64{0} : (quint64{1} << length) - 1;
}

// Counts one block of a reading. A word starts at a letter or digit whose nearest
// preceding character that is not "other" is white space or an ideograph, or the start of
// the run: the positions reachable from just after those through runs of other bytes, which
// one addition finds for the whole block (see WordCounter, which counts the same way).
// Every ideograph is a word.
template <typename Bytes>
inline void stepBlock(Reading& t, const BlockKinds& k, quint64 dollar,
                      const unsigned char* block) noexcept {
    const quint64 keep = firstBits(k.length);
    const quint64 other = ~(k.word | k.space | k.ideograph) & keep;
    const quint64 seeds = ((k.space | k.ideograph) << 1) | (t.state & Reading::kMayStart);
    const quint64 reach = (((seeds & other) + other) ^ other) | seeds;
    const quint64 starts = (k.word & reach) | k.ideograph;
    dollar &= keep;
    if (dollar != 0) [[unlikely]] {
        const quint64 c = blockscan::letterMaskOf<Bytes>(block, 'c');
        const quint64 j = blockscan::letterMaskOf<Bytes>(block, 'j');
        const quint64 jBefore = (j << 1) | (t.last1 == kMarkJ ? 1 : 0);
        const quint64 cTwoBefore =
            (c << 2) | (t.last1 == kMarkC ? 2 : 0) | (t.last2 == kMarkC ? 1 : 0);
        const quint64 ends = dollar & jBefore & cTwoBefore;
        if (ends != 0) {
            const quint64 upTo = ~quint64{0} >> std::countl_zero(ends);
            t.haveCut = true;
            t.wordsAtCut = t.words + std::popcount(starts & upTo);
        }
    }
    t.words += std::popcount(starts);
    const int top = k.length - 1;
    const int lastStart = 63 - std::countl_zero(k.starts & keep);
    t.state = static_cast<unsigned char>((((k.space | (other & reach)) >> top) & 1) |
                                         (((k.ideograph >> lastStart) & 1) << 1));
    t.last2 = k.length >= 2 ? cutMarkOf(block[k.length - 2]) : t.last1;
    t.last1 = cutMarkOf(block[top]);
}

// How many bytes of a block to take so that no character read as UTF-8 runs past them: the
// block up to a byte at its end that may begin a character longer than what is left. Worked
// out from those three bytes alone, so that where the next block starts is known before this
// one is classified. A byte kept that should continue a character and does not makes the
// block invalid, which the masks find.
inline int wholeCharacters(const unsigned char* block) noexcept {
    return block[63] >= 0xC0 ? 63 : block[62] >= 0xE0 ? 62 : block[61] >= 0xF0 ? 61 : kBlockSize;
}

// The UTF-8 reading of a block holding bytes beyond ASCII, up to `k.length` (see
// wholeCharacters). False where the block is not valid UTF-8 or holds what the masks cannot
// express (a mark, which belongs to the character before it; a character beyond the Basic
// Multilingual Plane): those bytes are read one at a time.
inline bool utf8Kinds(const blockscan::TextMasks& m, const unsigned char* block,
                      const Tables& tables, BlockKinds& k) noexcept {
    const quint64 leads = m.lead2 | m.lead3 | m.lead4;
    const quint64 keep = firstBits(k.length);
    // The bytes that continue the characters kept, which all end in the block: each must
    // be a continuation byte, and no other may be.
    const quint64 expected =
        ((leads & keep) << 1) | (((m.lead3 | m.lead4) & keep) << 2) | ((m.lead4 & keep) << 3);
    const quint64 stray = (m.high & ~(m.continuation | leads)) | (m.continuation & ~expected);
    if ((expected & ~m.continuation) != 0 || ((stray | m.lead4) & keep) != 0) {
        return false;
    }
    quint64 letters = 0;
    quint64 ideographs = 0;
    if (tables.leadsHold) {
        letters = m.letterLead;
        ideographs = m.ideographLead & ~(m.e4 & (m.b7 >> 1));
    }
    k.word = m.word;
    k.space = m.space;
    for (quint64 rest = (m.lead2 | m.lead3) & ~letters & ~ideographs & keep; rest != 0;
         rest &= rest - 1) {
        const int i = std::countr_zero(rest);
        const unsigned char b = block[i];
        char32_t code = 0;
        if (b < 0xE0) {
            code = (char32_t{b & 0x1Fu} << 6) | (block[i + 1] & 0x3Fu);
        } else {
            // Overlong forms and surrogates: the ranges E0 and ED allow their next byte.
            if ((b == 0xE0 && block[i + 1] < 0xA0) || (b == 0xED && block[i + 1] > 0x9F)) {
                return false;
            }
            code = (char32_t{b & 0x0Fu} << 12) | (char32_t{block[i + 1] & 0x3Fu} << 6) |
                   (block[i + 2] & 0x3Fu);
        }
        const quint64 bit = quint64{1} << i;
        switch (tables.kinds[code]) {
            case kMark:
                return false;
            case kWord:
                k.word |= bit;
                break;
            case kSpace:
                k.space |= bit;
                break;
            case kIdeograph:
                ideographs |= bit;
                break;
            default:
                break;
        }
    }
    k.word = (k.word | letters) & keep;
    k.space &= keep;
    k.ideograph = ideographs & keep;
    k.starts = ~m.continuation & keep;
    return true;
}

// The readings the block scan counts: the decoded one (null once it is not UTF-8), and
// Windows-1252 (null until it is needed, when the decoded one is copied into it).
struct BlockRun {
    Reading* decoded;
    Reading* windows1252;
    Reading* windows1252Spare;  // where Windows-1252 goes once a byte beyond ASCII comes
    const Tables& tables;
};

// Counts whole blocks from `i` while the masks can: returns where it stopped, at a block it
// left to be read one byte at a time, or with less than a block to go.
template <typename Bytes>
inline std::size_t scanBlocks(BlockRun& run, const unsigned char* p, std::size_t i,
                              std::size_t n) noexcept {
    for (; n - i >= kBlockSize;) {
        const unsigned char* block = p + i;
        // Always the whole block when it is all ASCII.
        const int length = run.decoded != nullptr ? wholeCharacters(block) : kBlockSize;
        const blockscan::TextMasks m =
            blockscan::classifyText<Bytes>(block, run.tables.windows1252Words);
        if (m.high == 0) {
            const BlockKinds ascii{m.word, m.space, 0, ~quint64{0}, kBlockSize};
            if (run.decoded != nullptr) {
                stepBlock<Bytes>(*run.decoded, ascii, m.dollar, block);
            }
            if (run.windows1252 != nullptr) {
                stepBlock<Bytes>(*run.windows1252, ascii, m.dollar, block);
            }
            i += kBlockSize;
            continue;
        }
        BlockKinds decoded;
        decoded.length = length;
        if (run.decoded != nullptr && !utf8Kinds(m, block, run.tables, decoded)) {
            return i;
        }
        if (run.windows1252 == nullptr && run.windows1252Spare != nullptr) {
            if (!run.tables.windows1252Holds) {
                return i;
            }
            *run.windows1252Spare = *run.decoded;
            run.windows1252 = run.windows1252Spare;
        }
        if (run.windows1252 != nullptr) {
            if (!run.tables.windows1252Holds) {
                return i;
            }
            const quint64 keep = firstBits(length);
            const BlockKinds bytes{(m.word | (m.tableBits & m.high)) & keep,
                                   (m.space | m.a0) & keep, 0, keep, length};
            stepBlock<Bytes>(*run.windows1252, bytes, m.dollar, block);
        }
        if (run.decoded != nullptr) {
            stepBlock<Bytes>(*run.decoded, decoded, m.dollar, block);
        }
        i += static_cast<std::size_t>(length);
    }
    return i;
}

using ScanBlocks = std::size_t (*)(BlockRun&, const unsigned char*, std::size_t,
                                   std::size_t) noexcept;

std::size_t scanPortable(BlockRun& run, const unsigned char* p, std::size_t i,
                         std::size_t n) noexcept {
    return scanBlocks<blockscan::PortableBytes>(run, p, i, n);
}

#ifdef QUORVANE_HAVE_SSE2
std::size_t scanSse2(BlockRun& run, const unsigned char* p, std::size_t i, std::size_t n) noexcept {
    return scanBlocks<blockscan::Sse2Bytes>(run, p, i, n);
}
#endif

#ifdef QUORVANE_HAVE_WIDE_VECTORS
// As WordCounter: the population-count instruction where the CPU has it.
__attribute__((target("popcnt"), flatten)) std::size_t scanSse2Popcnt(BlockRun& run,
                                                                      const unsigned char* p,
                                                                      std::size_t i,
                                                                      std::size_t n) noexcept {
    return scanBlocks<blockscan::Sse2Bytes>(run, p, i, n);
}

__attribute__((target("avx2,popcnt"), flatten)) std::size_t scanAvx2(BlockRun& run,
                                                                     const unsigned char* p,
                                                                     std::size_t i,
                                                                     std::size_t n) noexcept {
    return scanBlocks<blockscan::Avx2Bytes>(run, p, i, n);
}

__attribute__((target("avx512f,avx512bw,popcnt"), flatten)) std::size_t scanAvx512(
    BlockRun& run, const unsigned char* p, std::size_t i, std::size_t n) noexcept {
    return scanBlocks<blockscan::Avx512Bytes>(run, p, i, n);
}
#endif

// The Unicode rule's block loop on each instruction set; AVX-512 VBMI adds nothing it uses.
struct UnicodeScanners {
    static ScanBlocks portable() noexcept { return scanPortable; }
#ifdef QUORVANE_HAVE_SSE2
    static ScanBlocks sse2() noexcept { return scanSse2; }
#endif
#ifdef QUORVANE_HAVE_WIDE_VECTORS
    static ScanBlocks sse2Popcnt() noexcept { return scanSse2Popcnt; }
    static ScanBlocks avx2() noexcept { return scanAvx2; }
    static ScanBlocks avx512() noexcept { return scanAvx512; }
    static ScanBlocks avx512Vbmi() noexcept { return scanAvx512; }
#endif
};

ScanBlocks scannerFor(WordCounter::Scanner scanner) noexcept {
    return chooseScanner<UnicodeScanners>(scanner);
}

struct ByteOrderMark {
    const char* bytes;
    int size;
};

WordCounter::Scanner bestScanner() noexcept {
    static const WordCounter::Scanner best = WordCounter::supportedScanners().last();
    return best;
}

}  // namespace

UnicodeWordCounter::UnicodeWordCounter() noexcept : scanner_(bestScanner()) {}

UnicodeWordCounter::UnicodeWordCounter(WordCounter::Scanner scanner) noexcept
    : scanner_(scanner) {}

// On first use, not when made: a count by the classic rule makes this counter too, and
// finding the kinds costs it a millisecond, with the other workers waiting on it.
void UnicodeWordCounter::findKinds() noexcept {
    if (kinds_ == nullptr) {
        kinds_ = kindTable();
    }
}

UnicodeWordCounter UnicodeWordCounter::forLaterPart(const char* head, std::size_t headSize,
                                                    WordCounter::Scanner scanner) noexcept {
    UnicodeWordCounter counter(scanner);
    int markSize = 0;
    counter.encoding_ =
        markedEncoding(reinterpret_cast<const unsigned char*>(head),
                       static_cast<int>(std::min<std::size_t>(headSize, 4)), true, markSize);
    return counter;
}

UnicodeWordCounter UnicodeWordCounter::forLaterPart(const char* head,
                                                    std::size_t headSize) noexcept {
    return forLaterPart(head, headSize, bestScanner());
}

qint64 UnicodeWordCounter::partStartIn(const char* bytes, std::size_t size, qint64 offset,
                                       const char* head, std::size_t headSize) noexcept {
    int markSize = 0;
    const Encoding encoding =
        markedEncoding(reinterpret_cast<const unsigned char*>(head),
                       static_cast<int>(std::min<std::size_t>(headSize, 4)), true, markSize);
    // Where in a code unit of each encoding its low byte lies, and the unit's size. A part
    // may begin after a space or a line feed: both are white space under this rule, and
    // text without spaces (Chinese, Japanese) still has line ends.
    std::size_t unit = 1;
    std::size_t low = 0;
    switch (encoding) {
        case Encoding::Utf16LE:
            unit = 2;
            break;
        case Encoding::Utf16BE:
            unit = 2;
            low = 1;
            break;
        case Encoding::Utf32LE:
            unit = 4;
            break;
        case Encoding::Utf32BE:
            unit = 4;
            low = 3;
            break;
        default:
            break;
    }
    const auto isBreak = [&](const char* u) {
        if (u[low] != ' ' && u[low] != '\n') {
            return false;
        }
        for (std::size_t k = 0; k < unit; ++k) {
            if (k != low && u[k] != 0) {
                return false;
            }
        }
        return true;
    };
    // The first whole unit at or after `offset`.
    std::size_t at =
        static_cast<std::size_t>((unit - static_cast<std::size_t>(offset) % unit) % unit);
    for (; at + unit <= size; at += unit) {
        // Never inside the mark: a part starts after it.
        if (isBreak(bytes + at) && offset + static_cast<qint64>(at) >= markSize) {
            return static_cast<qint64>(at + unit);
        }
    }
    return -1;
}

void UnicodeWordCounter::feed(const char* data, std::size_t size) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    while (encoding_ == Encoding::Undecided && size > 0) {
        head_[headSize_++] = *p++;
        --size;
        decide(false);
    }
    if (size > 0) {
        consume(p, size);
    }
}

void UnicodeWordCounter::close() noexcept {
    findKinds();
    if (encoding_ == Encoding::Undecided) {
        decide(true);
    }
    switch (encoding_) {
        case Encoding::Guess:
        case Encoding::Utf8:
            if (utf8Need_ > 0) {
                utf8Invalid();
            }
            break;
        default:
            if (unitSize_ > 0 || highSurrogate_ != 0) {
                unitSize_ = 0;
                highSurrogate_ = 0;
                codePoint(kReplacement);
            }
            break;
    }
}

qint64 UnicodeWordCounter::count() noexcept {
    close();
    return textLive_ ? text_.result() : cp1252_.result();
}

UnicodeWordCounter::Part UnicodeWordCounter::part() noexcept {
    close();
    Part result;
    result.guessed = encoding_ == Encoding::Guess;
    result.valid = textLive_;
    result.decoded = text_;
    // Until a byte beyond ASCII the two readings are one.
    result.windows1252 = cp1252Live_ ? cp1252_ : text_;
    return result;
}

qint64 UnicodeWordCounter::combineParts(const Part* parts, std::size_t count) noexcept {
    bool valid = true;
    for (std::size_t i = 0; i < count; ++i) {
        valid = valid && (!parts[i].guessed || parts[i].valid);
    }
    qint64 before = 0;
    qint64 result = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const Reading& r = valid ? parts[i].decoded : parts[i].windows1252;
        if (r.haveCut) {
            result = before + r.wordsAtCut;
        }
        before += r.words;
    }
    // Without any cut every word counts.
    return result >= 0 ? result : before;
}

// A mark is taken once its bytes are all in; the longest mark wins, so FF FE 00 00 is
// UTF-32 and FF FE alone UTF-16. Undecided while the first bytes may still be a mark.
UnicodeWordCounter::Encoding UnicodeWordCounter::markedEncoding(const unsigned char* head, int size,
                                                                bool final,
                                                                int& markSize) noexcept {
    struct Candidate {
        ByteOrderMark mark;
        Encoding encoding;
    };
    static constexpr Candidate kMarks[] = {
        {{"\xEF\xBB\xBF", 3}, Encoding::Utf8},    {{"\xFF\xFE\0\0", 4}, Encoding::Utf32LE},
        {{"\0\0\xFE\xFF", 4}, Encoding::Utf32BE}, {{"\xFF\xFE", 2}, Encoding::Utf16LE},
        {{"\xFE\xFF", 2}, Encoding::Utf16BE},
    };
    const Candidate* best = nullptr;
    bool stillOpen = false;
    for (const Candidate& candidate : kMarks) {
        const int common = std::min(size, candidate.mark.size);
        if (std::memcmp(head, candidate.mark.bytes, static_cast<std::size_t>(common)) != 0) {
            continue;
        }
        if (size < candidate.mark.size) {
            stillOpen = true;
        } else if (best == nullptr || candidate.mark.size > best->mark.size) {
            best = &candidate;
        }
    }
    markSize = 0;
    if (stillOpen && !final) {
        return Encoding::Undecided;
    }
    markSize = best != nullptr ? best->mark.size : 0;
    return best != nullptr ? best->encoding : Encoding::Guess;
}

// Nothing is counted until the first bytes rule out every mark they could still be.
void UnicodeWordCounter::decide(bool final) noexcept {
    int skip = 0;
    encoding_ = markedEncoding(head_, headSize_, final, skip);
    if (encoding_ == Encoding::Undecided) {
        return;
    }
    const int held = headSize_;
    headSize_ = 0;
    if (held > skip) {
        consume(head_ + skip, static_cast<std::size_t>(held - skip));
    }
}

void UnicodeWordCounter::consume(const unsigned char* p, std::size_t n) noexcept {
    findKinds();
    switch (encoding_) {
        case Encoding::Guess:
        case Encoding::Utf8:
            consumeUtf8(p, n);
            break;
        case Encoding::Utf16LE:
        case Encoding::Utf16BE:
            consumeUtf16(p, n, encoding_ == Encoding::Utf16BE);
            break;
        case Encoding::Utf32LE:
        case Encoding::Utf32BE:
            consumeUtf32(p, n, encoding_ == Encoding::Utf32BE);
            break;
        case Encoding::Undecided:
            break;
    }
}

// Whole blocks are counted with bit masks, for every reading still live; a block the masks
// cannot express, and what is left at the end, one byte at a time.
void UnicodeWordCounter::consumeUtf8(const unsigned char* p, std::size_t n) noexcept {
    static const std::array<ScanBlocks, 5> scanners = {
        scannerFor(WordCounter::Scanner::Portable), scannerFor(WordCounter::Scanner::Sse2),
        scannerFor(WordCounter::Scanner::Avx2), scannerFor(WordCounter::Scanner::Avx512),
        scannerFor(WordCounter::Scanner::Avx512Vbmi)};
    const ScanBlocks scan = scanners[static_cast<std::size_t>(scanner_)];
    std::size_t i = 0;
    while (i < n) {
        if (n - i >= kBlockSize && (utf8Need_ == 0 || !textLive_)) {
            BlockRun run{textLive_ ? &text_ : nullptr, cp1252Live_ ? &cp1252_ : nullptr,
                         encoding_ == Encoding::Guess && !cp1252Live_ ? &cp1252_ : nullptr,
                         tables()};
            i = scan(run, p, i, n);
            cp1252Live_ = run.windows1252 != nullptr;
        }
        i = scalarBytes(p, i, std::min(n, i + kBlockSize), n);
    }
}

inline void UnicodeWordCounter::cp1252Byte(unsigned char b) noexcept {
    if (b < 0x80) {
        put(cp1252_, b, kinds_[b]);
    } else {
        putBeyondAscii(cp1252_, kinds_[kCp1252Kinds + b - 0x80]);
    }
}

// Byte by byte from `i` to `end`, and on to the end of a character under way. A character
// whose bytes are all in this piece is decoded at once; one cut by the end of the piece, or
// broken, byte by byte.
std::size_t UnicodeWordCounter::scalarBytes(const unsigned char* p, std::size_t i, std::size_t end,
                                            std::size_t n) noexcept {
    while (i < n && (i < end || (textLive_ && utf8Need_ != 0))) {
        const unsigned char b = p[i];
        if (b >= 0x80 && !cp1252Live_ && encoding_ == Encoding::Guess) {
            // Up to here the two readings were the same text.
            cp1252_ = text_;
            cp1252Live_ = true;
        }
        if (cp1252Live_) {
            cp1252Byte(b);
        }
        if (textLive_) {
            if (utf8Need_ == 0 && b >= 0xC2 && b <= 0xF4) {
                const std::size_t length = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
                if (n - i >= length) {
                    const unsigned char low = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
                    const unsigned char high = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
                    bool valid = p[i + 1] >= low && p[i + 1] <= high;
                    char32_t code = b & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
                    for (std::size_t k = 1; k < length; ++k) {
                        valid = valid && (p[i + k] & 0xC0) == 0x80;
                        code = (code << 6) | (p[i + k] & 0x3F);
                    }
                    if (valid) {
                        if (cp1252Live_) {
                            for (std::size_t k = 1; k < length; ++k) {
                                cp1252Byte(p[i + k]);
                            }
                        }
                        putBeyondAscii(text_, code < 0x10000
                                                  ? kinds_[code]
                                                  : static_cast<unsigned char>(kindOf(code)));
                        i += length;
                        continue;
                    }
                }
            }
            utf8Byte(b);
        }
        ++i;
    }
    return i;
}

void UnicodeWordCounter::utf8Byte(unsigned char b) noexcept {
    if (utf8Need_ == 0) {
        // Overlong forms, surrogates and anything past U+10FFFF are ruled out by the range
        // each lead byte allows its first continuation byte.
        utf8Low_ = 0x80;
        utf8High_ = 0xBF;
        if (b < 0x80) {
            put(text_, b, kinds_[b]);
        } else if (b >= 0xC2 && b <= 0xDF) {
            utf8Need_ = 1;
            utf8Code_ = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            utf8Need_ = 2;
            utf8Code_ = b & 0x0F;
            utf8Low_ = b == 0xE0 ? 0xA0 : 0x80;
            utf8High_ = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            utf8Need_ = 3;
            utf8Code_ = b & 0x07;
            utf8Low_ = b == 0xF0 ? 0x90 : 0x80;
            utf8High_ = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            utf8Invalid();
        }
        return;
    }
    if (b < utf8Low_ || b > utf8High_) {
        utf8Invalid();
        // With a mark saying UTF-8 the byte that broke the character starts afresh.
        if (textLive_) {
            utf8Byte(b);
        }
        return;
    }
    utf8Code_ = (utf8Code_ << 6) | (b & 0x3F);
    utf8Low_ = 0x80;
    utf8High_ = 0xBF;
    if (--utf8Need_ == 0) {
        codePoint(utf8Code_);
    }
}

void UnicodeWordCounter::utf8Invalid() noexcept {
    utf8Need_ = 0;
    if (encoding_ == Encoding::Utf8) {
        codePoint(kReplacement);
    } else {
        textLive_ = false;
    }
}

void UnicodeWordCounter::consumeUtf16(const unsigned char* p, std::size_t n,
                                      bool bigEndian) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        unit_[unitSize_++] = p[i];
        if (unitSize_ == 2) {
            unitSize_ = 0;
            const unsigned char first = bigEndian ? unit_[0] : unit_[1];
            const unsigned char second = bigEndian ? unit_[1] : unit_[0];
            utf16Unit(static_cast<char16_t>((first << 8) | second));
        }
    }
}

void UnicodeWordCounter::utf16Unit(char16_t unit) noexcept {
    if (highSurrogate_ != 0) {
        const char16_t high = highSurrogate_;
        highSurrogate_ = 0;
        if (QChar::isLowSurrogate(unit)) {
            codePoint(QChar::surrogateToUcs4(high, unit));
            return;
        }
        codePoint(kReplacement);
    }
    if (QChar::isHighSurrogate(unit)) {
        highSurrogate_ = unit;
        return;
    }
    codePoint(QChar::isLowSurrogate(unit) ? kReplacement : char32_t{unit});
}

void UnicodeWordCounter::consumeUtf32(const unsigned char* p, std::size_t n,
                                      bool bigEndian) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        unit_[unitSize_++] = p[i];
        if (unitSize_ == 4) {
            unitSize_ = 0;
            char32_t code = 0;
            for (int k = 0; k < 4; ++k) {
                code = (code << 8) | unit_[bigEndian ? k : 3 - k];
            }
            const bool valid = code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
            codePoint(valid ? code : kReplacement);
        }
    }
}

void UnicodeWordCounter::codePoint(char32_t code) noexcept {
    put(text_, code, code < 0x10000 ? kinds_[code] : static_cast<unsigned char>(kindOf(code)));
}

}  // namespace quorvane
