#pragma once

#include <QtGlobal>

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

}  // namespace quorvane::blockscan
