#pragma once

namespace quorvane {

// The Windows Western code page, in which RTF escapes and Word 97-2003's 8-bit text are
// written: Latin-1 but for 0x80-0x9F, where it keeps quotes, dashes and a few letters.
class Windows1252 {
public:
    static char32_t decode(unsigned char byte) {
        static constexpr char16_t kHigh[32] = {
            0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
            0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
        return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte;
    }
};

}  // namespace quorvane
