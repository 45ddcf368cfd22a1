#pragma once

#include "count/BlockScan.h"
#include "count/WordCounter.h"

namespace quorvane {

// What runs a scanner asked for, on this build and this CPU, from one word rule's table of
// block loops. `Table` has static functions portable() and, where built, sse2(); and
// where wide vectors are built sse2Popcnt(), avx2(), avx512() and avx512Vbmi(), each
// giving that rule's loop on those instructions. SSE2 takes its popcnt form where the CPU
// has the instruction.
template <typename Table>
auto chooseScanner(WordCounter::Scanner scanner) noexcept -> decltype(Table::portable()) {
    switch (scanner) {
        case WordCounter::Scanner::Portable:
            break;
        case WordCounter::Scanner::Sse2:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            __builtin_cpu_init();
            if (__builtin_cpu_supports("popcnt")) {
                return Table::sse2Popcnt();
            }
#endif
#ifdef QUORVANE_HAVE_SSE2
            return Table::sse2();
#else
            break;
#endif
        case WordCounter::Scanner::Avx2:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            return Table::avx2();
#else
            break;
#endif
        case WordCounter::Scanner::Avx512:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            return Table::avx512();
#else
            break;
#endif
        case WordCounter::Scanner::Avx512Vbmi:
#ifdef QUORVANE_HAVE_WIDE_VECTORS
            return Table::avx512Vbmi();
#else
            break;
#endif
    }
    return Table::portable();
}

}  // namespace quorvane
