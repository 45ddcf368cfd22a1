#include "count/UnicodeWordCounter.h"

#include <QChar>

#include <algorithm>
#include <bit>
#include <cstring>

#include "count/BlockScan.h"

namespace quorvane {

namespace {

using Tally = UnicodeWordCounter::Tally;

enum Kind : unsigned char { kOther = 0, kSpace = 1, kWord = 2, kMark = 3, kIdeograph = 4 };
enum CutMark : unsigned char { kNoMark = 0, kMarkC = 1, kMarkJ = 2 };

constexpr int kBlockSize = 64;
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

constexpr unsigned char kMay = Tally::kMayStart;
constexpr unsigned char kIdeo = Tally::kAfterIdeograph;

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
inline void putBeyondAscii(Tally& t, unsigned char kind) noexcept {
    const Step step = kSteps[kind][t.state];
    t.words += step.add;
    t.state = step.next;
    t.last2 = t.last1;
    t.last1 = kNoMark;
}

inline void put(Tally& t, char32_t code, unsigned char kind) noexcept {
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

// The ASCII bytes of a 64-byte block as bit masks, bit i for byte i.
struct Masks {
    quint64 word = 0;    // letters and digits
    quint64 space = 0;   // tab, line feed, vertical tab, form feed, carriage return, space
    quint64 dollar = 0;  // "$", the end of a "CJ$"
    quint64 high = 0;    // bytes beyond ASCII
};

inline Masks classifyPortable(const unsigned char* block) noexcept {
    Masks m;
    for (int i = 0; i < kBlockSize; ++i) {
        const unsigned char b = block[i];
        const quint64 bit = quint64{1} << i;
        const unsigned char folded = b | 0x20;
        if ((folded >= 'a' && folded <= 'z') || (b >= '0' && b <= '9')) {
            m.word |= bit;
        } else if (b == ' ' || (b >= '\t' && b <= '\r')) {
            m.space |= bit;
        } else if (b == '$') {
            m.dollar |= bit;
        } else if (b >= 0x80) {
            m.high |= bit;
        }
    }
    return m;
}

#ifdef QUORVANE_HAVE_SSE2
inline Masks classifySse2(const unsigned char* block) noexcept {
    using blockscan::detail::bits;
    using blockscan::detail::inRange;
    Masks m;
    for (int chunk = 0; chunk < kBlockSize / 16; ++chunk) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * chunk));
        const __m128i letter = inRange(_mm_or_si128(b, _mm_set1_epi8(0x20)), 'a', 26);
        const __m128i digit = inRange(b, '0', 10);
        m.word |= bits(_mm_or_si128(letter, digit), chunk);
        const __m128i space =
            _mm_or_si128(inRange(b, '\t', 5), _mm_cmpeq_epi8(b, _mm_set1_epi8(' ')));
        m.space |= bits(space, chunk);
        m.dollar |= bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('$')), chunk);
        m.high |= bits(b, chunk);  // the sign bit is the top bit
    }
    return m;
}
#define QUORVANE_CLASSIFY classifySse2
#define QUORVANE_LETTER_MASK blockscan::letterMaskSse2
#else
#define QUORVANE_CLASSIFY classifyPortable
#define QUORVANE_LETTER_MASK blockscan::letterMaskPortable
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(__POPCNT__)
// The build targets every x86-64, whose baseline has no population-count instruction, and
// the library's fallback is a call per block; this is a few instructions inline.
inline int bitCount(quint64 x) noexcept {
    x = x - ((x >> 1) & 0x5555555555555555ULL);
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((x * 0x0101010101010101ULL) >> 56);
}
#else
inline int bitCount(quint64 x) noexcept {
    return std::popcount(x);
}
#endif

// Counts the first `length` bytes of a block, all of them ASCII, with bit masks. A word
// starts at a letter or digit whose nearest preceding byte that is not "other" (neither
// white space nor letter nor digit) is white space, or the start of the run; those are the
// positions reachable from "just after white space" through runs of other bytes, which one
// addition finds for the whole block (see WordCounter, which counts the same way).
inline void stepAscii(Tally& t, const Masks& m, const unsigned char* block, int length) noexcept {
    const quint64 keep = length == kBlockSize ? ~quint64{0} : (quint64{1} << length) - 1;
    const quint64 word = m.word & keep;
    const quint64 space = m.space & keep;
    const quint64 other = ~(word | space) & keep;
    const quint64 seeds = (space << 1) | (t.state & Tally::kMayStart);
    const quint64 reach = (((seeds & other) + other) ^ other) | seeds;
    const quint64 starts = word & reach;
    const quint64 dollar = m.dollar & keep;
    if (dollar != 0) [[unlikely]] {
        const quint64 c = QUORVANE_LETTER_MASK(block, 'c');
        const quint64 j = QUORVANE_LETTER_MASK(block, 'j');
        const quint64 jBefore = (j << 1) | (t.last1 == kMarkJ ? 1 : 0);
        const quint64 cTwoBefore =
            (c << 2) | (t.last1 == kMarkC ? 2 : 0) | (t.last2 == kMarkC ? 1 : 0);
        const quint64 ends = dollar & jBefore & cTwoBefore;
        if (ends != 0) {
            const int last = 63 - std::countl_zero(ends);
            const quint64 upTo = last == 63 ? ~quint64{0} : (quint64{2} << last) - 1;
            t.haveCut = true;
            t.wordsAtCut = t.words + bitCount(starts & upTo);
        }
    }
    t.words += bitCount(starts);
    const int top = length - 1;
    t.state = static_cast<unsigned char>(((space | (other & reach)) >> top) & 1);
    t.last2 = length >= 2 ? cutMarkOf(block[length - 2]) : t.last1;
    t.last1 = cutMarkOf(block[top]);
}

struct ByteOrderMark {
    const char* bytes;
    int size;
};

}  // namespace

UnicodeWordCounter::UnicodeWordCounter() noexcept : kinds_(kindTable()) {}

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

qint64 UnicodeWordCounter::count() noexcept {
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
    return textLive_ ? text_.result() : cp1252_.result();
}

// A mark is taken once its bytes are all in; the longest mark wins, so FF FE 00 00 is
// UTF-32 and FF FE alone UTF-16. Until the first bytes rule out every mark they could still
// be, nothing is counted.
void UnicodeWordCounter::decide(bool final) noexcept {
    struct Candidate {
        ByteOrderMark mark;
        Encoding encoding;
    };
    static constexpr Candidate kMarks[] = {
        {{"\xEF\xBB\xBF", 3}, Encoding::Utf8},       {{"\xFF\xFE\0\0", 4}, Encoding::Utf32LE},
        {{"\0\0\xFE\xFF", 4}, Encoding::Utf32BE},    {{"\xFF\xFE", 2}, Encoding::Utf16LE},
        {{"\xFE\xFF", 2}, Encoding::Utf16BE},
    };
    const Candidate* best = nullptr;
    bool stillOpen = false;
    for (const Candidate& candidate : kMarks) {
        const int common = std::min(headSize_, candidate.mark.size);
        if (std::memcmp(head_, candidate.mark.bytes, static_cast<std::size_t>(common)) != 0) {
            continue;
        }
        if (headSize_ < candidate.mark.size) {
            stillOpen = true;
        } else if (best == nullptr || candidate.mark.size > best->mark.size) {
            best = &candidate;
        }
    }
    if (stillOpen && !final) {
        return;
    }
    encoding_ = best != nullptr ? best->encoding : Encoding::Guess;
    const int skip = best != nullptr ? best->mark.size : 0;
    const int held = headSize_;
    headSize_ = 0;
    if (held > skip) {
        consume(head_ + skip, static_cast<std::size_t>(held - skip));
    }
}

void UnicodeWordCounter::consume(const unsigned char* p, std::size_t n) noexcept {
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

// ASCII is counted a block at a time with bit masks, for every reading still live (ASCII
// reads the same in both); bytes beyond ASCII, and a character under way, one at a time.
void UnicodeWordCounter::consumeUtf8(const unsigned char* p, std::size_t n) noexcept {
    std::size_t i = 0;
    while (i < n) {
        if (utf8Need_ == 0) {
            const std::size_t available = std::min<std::size_t>(kBlockSize, n - i);
            const unsigned char* block = p + i;
            unsigned char padded[kBlockSize];
            Masks m;
            if (available == kBlockSize) {
                m = QUORVANE_CLASSIFY(block);
            } else {
                std::memset(padded, 0, sizeof padded);
                std::memcpy(padded, block, available);
                block = padded;
                m = QUORVANE_CLASSIFY(block);
                m.high |= ~quint64{0} << available;
            }
            const int ascii = m.high == 0 ? kBlockSize : std::countr_zero(m.high);
            if (ascii > 0) {
                if (textLive_) {
                    stepAscii(text_, m, block, ascii);
                }
                if (cp1252Live_) {
                    stepAscii(cp1252_, m, block, ascii);
                }
                i += static_cast<std::size_t>(ascii);
                if (ascii == kBlockSize || i == n) {
                    continue;
                }
            }
        }
        i = consumeBeyondAscii(p, i, n);
    }
}

inline void UnicodeWordCounter::cp1252Byte(unsigned char b) noexcept {
    if (b < 0x80) {
        put(cp1252_, b, kinds_[b]);
    } else {
        putBeyondAscii(cp1252_, kinds_[kCp1252Kinds + b - 0x80]);
    }
}

// Whether one of the next eight bytes (or fewer, at the end of a piece) is beyond ASCII:
// the blank between two words of another script is not worth a block of its own.
inline bool beyondAsciiSoon(const unsigned char* p, std::size_t n) noexcept {
    if (n < 8) {
        return true;
    }
    quint64 eight;
    std::memcpy(&eight, p, sizeof eight);
    return (eight & 0x8080808080808080ULL) != 0;
}

// From a byte beyond ASCII, or one that continues a character, up to the next stretch of
// ASCII. A character whose bytes are all in this piece is decoded at once; one cut by the
// end of the piece, or broken, byte by byte.
std::size_t UnicodeWordCounter::consumeBeyondAscii(const unsigned char* p, std::size_t i,
                                                   std::size_t n) noexcept {
    if (!cp1252Live_ && encoding_ == Encoding::Guess) {
        // Up to here the two readings were the same text.
        cp1252_ = text_;
        cp1252Live_ = true;
    }
    do {
        const unsigned char b = p[i];
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
    } while (i < n && (p[i] >= 0x80 || utf8Need_ != 0 || beyondAsciiSoon(p + i, n - i)));
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
