#pragma once

#include <QtGlobal>

#include "TextFilter.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define QUORVANE_HAVE_SSE2 1
#include <emmintrin.h>
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

}  // namespace quorvane::blockscan
