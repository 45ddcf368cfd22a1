#pragma once

#include <QtEndian>
#include <QtGlobal>

#include <bit>

#include "count/TextFilter.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QUORVANE_HAVE_SSE2 1
#include <emmintrin.h>
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUORVANE_HAVE_WIDE_VECTORS 1
#include <immintrin.h>
#endif

namespace quorvane::blockscan {

// The bytes of one 64-byte block as bit masks, bit i for byte i.
struct Masks {
    quint64 word = 0;    // kept and part of a word: ASCII letters, digits, "."
    quint64 space = 0;   // " "
    quint64 dollar = 0;  // "$", the end of a "CJ$"
};

constexpr int kBlockSize = 64;

// Classification with the same table as TextFilter::kindOf; works on every CPU.
inline Masks classifyPortable(const unsigned char* block) noexcept {
    Masks m;
    for (int i = 0; i < kBlockSize; ++i) {
        const quint64 bit = quint64{1} << i;
        switch (TextFilter::kindOf(block[i])) {
            case TextFilter::Kind::WordChar:
                m.word |= bit;
                break;
            case TextFilter::Kind::Space:
                m.space |= bit;
                break;
            case TextFilter::Kind::Dropped:
                if (block[i] == '$') {
                    m.dollar |= bit;
                }
                break;
        }
    }
    return m;
}

// Bytes equal to `lower` or to its upper-case form (`lower` is an ASCII lower-case letter).
inline quint64 letterMaskPortable(const unsigned char* block, unsigned char lower) noexcept {
    quint64 mask = 0;
    for (int i = 0; i < kBlockSize; ++i) {
        if ((block[i] | 0x20) == lower) {
            mask |= quint64{1} << i;
        }
    }
    return mask;
}

#ifdef QUORVANE_HAVE_SSE2

namespace detail {

inline quint64 bits(__m128i lanes, int chunk) noexcept {
    return quint64{static_cast<quint16>(_mm_movemask_epi8(lanes))} << (16 * chunk);
}

// Signed byte compares only: shifting the range's lower bound to -128 turns
// "lo <= b < lo + width" into one signed less-than.
inline __m128i inRange(__m128i b, unsigned char lo, int width) noexcept {
    const __m128i shifted = _mm_add_epi8(b, _mm_set1_epi8(static_cast<char>(128 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + width)));
}

}  // namespace detail

// The same results as the portable functions, sixteen bytes at a time.
inline Masks classifySse2(const unsigned char* block) noexcept {
    Masks m;
    for (int chunk = 0; chunk < kBlockSize / 16; ++chunk) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * chunk));
        // Folding case with | 0x20 maps only 'A'..'Z' onto 'a'..'z'.
        const __m128i letter = detail::inRange(_mm_or_si128(b, _mm_set1_epi8(0x20)), 'a', 26);
        const __m128i digit = detail::inRange(b, '0', 10);
        const __m128i dot = _mm_cmpeq_epi8(b, _mm_set1_epi8('.'));
        m.word |= detail::bits(_mm_or_si128(letter, _mm_or_si128(digit, dot)), chunk);
        m.space |= detail::bits(_mm_cmpeq_epi8(b, _mm_set1_epi8(' ')), chunk);
        m.dollar |= detail::bits(_mm_cmpeq_epi8(b, _mm_set1_epi8('$')), chunk);
    }
    return m;
}

inline quint64 letterMaskSse2(const unsigned char* block, unsigned char lower) noexcept {
    quint64 mask = 0;
    const __m128i fold = _mm_set1_epi8(0x20);
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(lower));
    for (int chunk = 0; chunk < kBlockSize / 16; ++chunk) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * chunk));
        mask |= detail::bits(_mm_cmpeq_epi8(_mm_or_si128(b, fold), wanted), chunk);
    }
    return mask;
}

#endif

#ifdef QUORVANE_HAVE_WIDE_VECTORS

// Two halves of 32 bytes. Which bytes are kept is looked up by nibble: a byte belongs to
// a class when the rows of its high nibble and the columns of its low nibble share a bit.
//   bit 0: high 3, low 0-9 (digits)      bit 1: high 4 or 6, low 1-F (A-O, a-o)
//   bit 2: high 5 or 7, low 0-A (P-Z, p-z) bit 3: high 2, low E (".")
//   bit 4: high 2, low 0 (" ")           bit 5: high 2, low 4 ("$")
__attribute__((target("avx2"))) inline Masks classifyAvx2(const unsigned char* block) noexcept {
    const __m256i highRows =
        _mm256_setr_epi8(0, 0, 0x38, 0x01, 0x02, 0x04, 0x02, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                         0x38, 0x01, 0x02, 0x04, 0x02, 0x04, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i lowColumns =
        _mm256_setr_epi8(0x15, 0x07, 0x07, 0x07, 0x27, 0x07, 0x07, 0x07, 0x07, 0x07, 0x06, 0x02,
                         0x02, 0x02, 0x0a, 0x02, 0x15, 0x07, 0x07, 0x07, 0x27, 0x07, 0x07, 0x07,
                         0x07, 0x07, 0x06, 0x02, 0x02, 0x02, 0x0a, 0x02);
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i zero = _mm256_setzero_si256();
    Masks m;
    for (int half = 0; half < 2; ++half) {
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32 * half));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi16(b, 4), nibble);
        const __m256i low = _mm256_and_si256(b, nibble);
        const __m256i classes = _mm256_and_si256(_mm256_shuffle_epi8(highRows, high),
                                                 _mm256_shuffle_epi8(lowColumns, low));
        const __m256i notWord =
            _mm256_cmpeq_epi8(_mm256_and_si256(classes, _mm256_set1_epi8(0x0f)), zero);
        const __m256i notSpace =
            _mm256_cmpeq_epi8(_mm256_and_si256(classes, _mm256_set1_epi8(0x10)), zero);
        const __m256i notDollar =
            _mm256_cmpeq_epi8(_mm256_and_si256(classes, _mm256_set1_epi8(0x20)), zero);
        const int shift = 32 * half;
        m.word |= quint64{~static_cast<quint32>(_mm256_movemask_epi8(notWord))} << shift;
        m.space |= quint64{~static_cast<quint32>(_mm256_movemask_epi8(notSpace))} << shift;
        m.dollar |= quint64{~static_cast<quint32>(_mm256_movemask_epi8(notDollar))} << shift;
    }
    return m;
}

__attribute__((target("avx2"))) inline quint64 letterMaskAvx2(const unsigned char* block,
                                                              unsigned char lower) noexcept {
    const __m256i fold = _mm256_set1_epi8(0x20);
    const __m256i wanted = _mm256_set1_epi8(static_cast<char>(lower));
    quint64 mask = 0;
    for (int half = 0; half < 2; ++half) {
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 32 * half));
        mask |= quint64{static_cast<quint32>(
                    _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_or_si256(b, fold), wanted)))}
                << (32 * half);
    }
    return mask;
}

// One 64-byte register; comparisons give the bit masks directly.
__attribute__((target("avx512f,avx512bw"))) inline Masks classifyAvx512(
    const unsigned char* block) noexcept {
    const __m512i b = _mm512_loadu_si512(block);
    const __m512i folded = _mm512_or_si512(b, _mm512_set1_epi8(0x20));
    Masks m;
    // Combined in the mask registers and moved out once.
    const __mmask64 letter = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(folded, _mm512_set1_epi8('a')),
                                                    _mm512_set1_epi8(26));
    const __mmask64 digit =
        _mm512_cmplt_epu8_mask(_mm512_sub_epi8(b, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
    const __mmask64 dot = _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8('.'));
    m.word = _cvtmask64_u64(_kor_mask64(_kor_mask64(letter, digit), dot));
    m.space = _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(' '));
    m.dollar = _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8('$'));
    return m;
}

namespace detail {

// One byte per value of a byte's low six bits. A byte b makes up words exactly when,
// read as a signed number, it is greater than the entry for its low six bits: the four
// bytes sharing those bits are b and b + 64, which may make up words (each pair is
// neither, the upper one only, or both), and two negative ones, which never do.
struct WordThresholds {
    alignas(64) signed char entry[64] = {};
    static constexpr bool makesWords(int c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.';
    }
    constexpr WordThresholds() {
        for (int low = 0; low < 64; ++low) {
            entry[low] = static_cast<signed char>(makesWords(low)        ? -1
                                                  : makesWords(low + 64) ? low
                                                                         : 127);
        }
    }
    // The case the table cannot hold: a lower byte that makes up words, its upper one not.
    static constexpr bool holdsEveryByte() {
        for (int low = 0; low < 64; ++low) {
            if (makesWords(low) && !makesWords(low + 64)) {
                return false;
            }
        }
        return true;
    }
};
static_assert(WordThresholds::holdsEveryByte());
inline constexpr WordThresholds kWordThresholds;

}  // namespace detail

// The word bytes found by one table lookup and one comparison instead of three range
// tests.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline Masks classifyAvx512Vbmi(
    const unsigned char* block) noexcept {
    const __m512i thresholds = _mm512_load_si512(detail::kWordThresholds.entry);
    const __m512i b = _mm512_loadu_si512(block);
    Masks m;
    // The zero-masking form: the plain one leaves GCC 12 warning of an unset register.
    m.word = _mm512_cmpgt_epi8_mask(b, _mm512_maskz_permutexvar_epi8(~__mmask64{0}, b, thresholds));
    m.space = _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8(' '));
    m.dollar = _mm512_cmpeq_epi8_mask(b, _mm512_set1_epi8('$'));
    return m;
}

// The "$" bits that end a "CJ$": the same block read one and two bytes earlier, case
// folded, is compared with "j" where there is a "$", and with "c" where that matched. The
// two bytes before the block must be readable.
__attribute__((target("avx512f,avx512bw"))) inline quint64 cutEndsAvx512(const unsigned char* block,
                                                                         quint64 dollar) noexcept {
    const __m512i fold = _mm512_set1_epi8(0x20);
    const __m512i before1 = _mm512_or_si512(_mm512_loadu_si512(block - 1), fold);
    const __m512i before2 = _mm512_or_si512(_mm512_loadu_si512(block - 2), fold);
    const __mmask64 j = _mm512_mask_cmpeq_epi8_mask(dollar, before1, _mm512_set1_epi8('j'));
    return _mm512_mask_cmpeq_epi8_mask(j, before2, _mm512_set1_epi8('c'));
}

#endif

// ---- Blocks of decoded text ----
//
// The text counter tests each block against many byte ranges; every CPU's version below
// loads the block once and answers each test with a bit mask, bit i for byte i, so the
// classification is written once (classifyText) for all of them.

// Which bytes beyond ASCII make up words when read as Windows-1252, by nibble: bit
// (high nibble - 8) of `low[low nibble]`, repeated for each 16-byte lane of a register.
struct HighByteTable {
    alignas(64) unsigned char low[64] = {};
    alignas(64) unsigned char high[64] = {};  // 1 << (high nibble - 8), 0 below 8
    quint64 bits[2] = {0, 0};                 // the same, bit (byte - 0x80)

    void set(unsigned char byte) noexcept {
        const int row = (byte >> 4) - 8;
        for (int lane = 0; lane < 64; lane += 16) {
            low[lane + (byte & 0x0f)] |= static_cast<unsigned char>(1u << row);
        }
        bits[(byte - 0x80) / 64] |= quint64{1} << ((byte - 0x80) % 64);
    }
    HighByteTable() noexcept {
        for (int lane = 0; lane < 64; lane += 16) {
            for (int nibble = 8; nibble < 16; ++nibble) {
                high[lane + nibble] = static_cast<unsigned char>(1u << (nibble - 8));
            }
        }
    }
    bool has(unsigned char byte) const noexcept {
        return byte >= 0x80 && ((bits[(byte - 0x80) / 64] >> ((byte - 0x80) % 64)) & 1) != 0;
    }
};

// The high bytes of a block that the table holds, one byte at a time.
inline quint64 tableBitsPortable(const unsigned char* block, quint64 high,
                                 const HighByteTable& table) noexcept {
    quint64 result = 0;
    for (; high != 0; high &= high - 1) {
        const int i = std::countr_zero(high);
        result |= quint64{table.has(block[i]) ? 1u : 0u} << i;
    }
    return result;
}

// Eight bytes at a time in a 64-bit number, each byte on its own: no borrow crosses from
// one byte into the next.
struct PortableBytes {
    const unsigned char* block;
    quint64 lanes[kBlockSize / 8];
    explicit PortableBytes(const unsigned char* b) noexcept : block(b) {
        for (int lane = 0; lane < kBlockSize / 8; ++lane) {
            lanes[lane] = qFromLittleEndian<quint64>(b + 8 * lane);
        }
    }
    // Bytes b with lo <= b < lo + width (width at most 128): d = b - lo per byte, then
    // d < width exactly when d's top bit is clear and so is that of (d + 128) - width.
    quint64 inRange(unsigned char lo, int width) const noexcept {
        constexpr quint64 kTop = 0x8080808080808080ULL;
        constexpr quint64 kOnes = 0x0101010101010101ULL;
        const quint64 low = kOnes * lo;
        const quint64 bound = kOnes * static_cast<quint64>(width);
        quint64 mask = 0;
        for (int lane = 0; lane < kBlockSize / 8; ++lane) {
            const quint64 x = lanes[lane];
            const quint64 d = ((x | kTop) - (low & ~kTop)) ^ ((x ^ ~low) & kTop);
            const quint64 inside = ~d & ~((d | kTop) - bound) & kTop;
            // The multiplication gathers the eight top bits into the highest byte, in order.
            mask |= (((inside >> 7) * 0x0102040810204080ULL) >> 56) << (8 * lane);
        }
        return mask;
    }
    quint64 equal(unsigned char value) const noexcept { return inRange(value, 1); }
    quint64 high() const noexcept { return inRange(0x80, 128); }
    quint64 tableBits(quint64 high, const HighByteTable& table) const noexcept {
        return tableBitsPortable(block, high, table);
    }
};

#ifdef QUORVANE_HAVE_SSE2
struct Sse2Bytes {
    __m128i v[4];
    explicit Sse2Bytes(const unsigned char* b) noexcept {
        for (int chunk = 0; chunk < 4; ++chunk) {
            v[chunk] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * chunk));
        }
        block = b;
    }
    quint64 inRange(unsigned char lo, int width) const noexcept {
        quint64 mask = 0;
        for (int chunk = 0; chunk < 4; ++chunk) {
            mask |= detail::bits(detail::inRange(v[chunk], lo, width), chunk);
        }
        return mask;
    }
    quint64 equal(unsigned char value) const noexcept {
        quint64 mask = 0;
        for (int chunk = 0; chunk < 4; ++chunk) {
            mask |= detail::bits(_mm_cmpeq_epi8(v[chunk], _mm_set1_epi8(static_cast<char>(value))),
                                 chunk);
        }
        return mask;
    }
    quint64 high() const noexcept {
        quint64 mask = 0;
        for (int chunk = 0; chunk < 4; ++chunk) {
            mask |= detail::bits(v[chunk], chunk);  // the sign bit is the top bit
        }
        return mask;
    }
    // SSE2 has no byte shuffle to look bytes up with.
    quint64 tableBits(quint64 high, const HighByteTable& table) const noexcept {
        return tableBitsPortable(block, high, table);
    }
    const unsigned char* block;
};
#endif

#ifdef QUORVANE_HAVE_WIDE_VECTORS
struct Avx2Bytes {
    __m256i v[2];
    __attribute__((target("avx2"))) explicit Avx2Bytes(const unsigned char* b) noexcept {
        v[0] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
        v[1] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 32));
    }
    __attribute__((target("avx2"))) static quint64 join(__m256i lo, __m256i hi) noexcept {
        return quint64{static_cast<quint32>(_mm256_movemask_epi8(lo))} |
               (quint64{static_cast<quint32>(_mm256_movemask_epi8(hi))} << 32);
    }
    // As the SSE2 range test: shifted so that one signed comparison decides.
    __attribute__((target("avx2"))) quint64 inRange(unsigned char lo, int width) const noexcept {
        const __m256i shift = _mm256_set1_epi8(static_cast<char>(128 - lo));
        const __m256i bound = _mm256_set1_epi8(static_cast<char>(-128 + width));
        return join(_mm256_cmpgt_epi8(bound, _mm256_add_epi8(v[0], shift)),
                    _mm256_cmpgt_epi8(bound, _mm256_add_epi8(v[1], shift)));
    }
    __attribute__((target("avx2"))) quint64 equal(unsigned char value) const noexcept {
        const __m256i wanted = _mm256_set1_epi8(static_cast<char>(value));
        return join(_mm256_cmpeq_epi8(v[0], wanted), _mm256_cmpeq_epi8(v[1], wanted));
    }
    __attribute__((target("avx2"))) quint64 high() const noexcept { return join(v[0], v[1]); }
    // A byte's low nibble picks a row of the table, its high nibble the bit in it.
    __attribute__((target("avx2"))) quint64 tableBits(quint64,
                                                      const HighByteTable& table) const noexcept {
        const __m256i rows = _mm256_load_si256(reinterpret_cast<const __m256i*>(table.low));
        const __m256i columns = _mm256_load_si256(reinterpret_cast<const __m256i*>(table.high));
        const __m256i nibble = _mm256_set1_epi8(0x0f);
        __m256i none[2];
        for (int half = 0; half < 2; ++half) {
            const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v[half], 4), nibble);
            const __m256i hit =
                _mm256_and_si256(_mm256_shuffle_epi8(rows, _mm256_and_si256(v[half], nibble)),
                                 _mm256_shuffle_epi8(columns, high));
            none[half] = _mm256_cmpeq_epi8(hit, _mm256_setzero_si256());
        }
        return ~join(none[0], none[1]);
    }
};

struct Avx512Bytes {
    __m512i v;
    __attribute__((target("avx512f,avx512bw"))) explicit Avx512Bytes(
        const unsigned char* b) noexcept
        : v(_mm512_loadu_si512(b)) {}
    __attribute__((target("avx512f,avx512bw"))) quint64 inRange(unsigned char lo,
                                                                int width) const noexcept {
        return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(static_cast<char>(lo))),
                                      _mm512_set1_epi8(static_cast<char>(width)));
    }
    __attribute__((target("avx512f,avx512bw"))) quint64 equal(unsigned char value) const noexcept {
        return _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(value)));
    }
    __attribute__((target("avx512f,avx512bw"))) quint64 high() const noexcept {
        return _mm512_movepi8_mask(v);
    }
    __attribute__((target("avx512f,avx512bw"))) quint64 tableBits(
        quint64, const HighByteTable& table) const noexcept {
        const __m512i rows = _mm512_load_si512(table.low);
        const __m512i columns = _mm512_load_si512(table.high);
        const __m512i nibble = _mm512_set1_epi8(0x0f);
        const __m512i high = _mm512_and_si512(_mm512_srli_epi16(v, 4), nibble);
        return _mm512_test_epi8_mask(_mm512_shuffle_epi8(rows, _mm512_and_si512(v, nibble)),
                                     _mm512_shuffle_epi8(columns, high));
    }
};
#endif

// A block of text as the Unicode rule sees its bytes. Beyond ASCII only where the block
// holds such bytes: then the parts of UTF-8 characters, and the lead bytes of the scripts
// whose characters are all of one kind.
struct TextMasks {
    quint64 word = 0;   // ASCII letters and digits
    quint64 space = 0;  // tab, line feed, vertical tab, form feed, carriage return, space
    quint64 dollar = 0;
    quint64 high = 0;  // bytes beyond ASCII
    quint64 continuation = 0;
    quint64 lead2 = 0;          // C2..DF
    quint64 lead3 = 0;          // E0..EF
    quint64 lead4 = 0;          // F0..F4
    quint64 letterLead = 0;     // D0, D1: Cyrillic letters
    quint64 ideographLead = 0;  // E4..E9: ideographs, unless E4 B7
    quint64 e4 = 0;
    quint64 b7 = 0;
    quint64 a0 = 0;         // the no-break space of Windows-1252
    quint64 tableBits = 0;  // high bytes that the table holds
};

template <typename Bytes>
inline TextMasks classifyText(const unsigned char* block, const HighByteTable& table) noexcept {
    const Bytes b(block);
    TextMasks m;
    m.word = b.inRange('a', 26) | b.inRange('A', 26) | b.inRange('0', 10);
    m.space = b.inRange('\t', 5) | b.equal(' ');
    m.dollar = b.equal('$');
    m.high = b.high();
    if (m.high != 0) {
        m.continuation = b.inRange(0x80, 64);
        m.lead2 = b.inRange(0xC2, 30);
        m.lead3 = b.inRange(0xE0, 16);
        m.lead4 = b.inRange(0xF0, 5);
        m.letterLead = b.inRange(0xD0, 2);
        m.ideographLead = b.inRange(0xE4, 6);
        m.e4 = b.equal(0xE4);
        m.b7 = b.equal(0xB7);
        m.a0 = b.equal(0xA0);
        m.tableBits = b.tableBits(m.high, table);
    }
    return m;
}

// Bytes equal to `lower` or to its upper-case form.
template <typename Bytes>
inline quint64 letterMaskOf(const unsigned char* block, unsigned char lower) noexcept {
    const Bytes b(block);
    return b.equal(lower) | b.equal(static_cast<unsigned char>(lower - 0x20));
}

}  // namespace quorvane::blockscan
