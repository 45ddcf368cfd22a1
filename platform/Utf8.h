#pragma once

#include <QChar>
#include <QStringView>

#include <cstddef>

namespace quorvane::utf8 {

// Appends a code point, or a lone surrogate, in the UTF-8 form to any byte container with
// push_back. The bytes of two such forms compare in the order of their code points.
template <typename Bytes>
void append(Bytes& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Appends UTF-16 units in the same form: a surrogate pair as its code point, a lone
// surrogate as itself, so that every QString, even one holding lone surrogates, has one.
template <typename Bytes>
void appendUnits(Bytes& out, QStringView units) {
    for (qsizetype i = 0; i < units.size(); ++i) {
        char32_t code = units[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < units.size() && units[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(units[i], units[i + 1]);
            ++i;
        }
        append(out, code);
    }
}

// The inverse of appendUnits() for bytes known to be in that form (no byte is checked):
// writes the units to `out`, which has room for `length` of them, and returns how many.
inline qsizetype decodeUnits(const char* bytes, std::size_t length, char16_t* out) {
    qsizetype units = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    const auto* end = in + length;
    while (in < end) {
        char32_t code = *in;
        if (code < 0x80) {
            ++in;
        } else if (code < 0xE0) {
            code = ((code & 0x1F) << 6) | (in[1] & 0x3F);
            in += 2;
        } else if (code < 0xF0) {
            code = ((code & 0x0F) << 12) | ((in[1] & 0x3F) << 6) | (in[2] & 0x3F);
            in += 3;
        } else {
            code = ((code & 0x07) << 18) | ((in[1] & 0x3F) << 12) | ((in[2] & 0x3F) << 6) |
                   (in[3] & 0x3F);
            in += 4;
        }
        if (code >= 0x10000) {
            out[units++] = QChar::highSurrogate(code);
            out[units++] = QChar::lowSurrogate(code);
        } else {
            out[units++] = static_cast<char16_t>(code);
        }
    }
    return units;
}

}  // namespace quorvane::utf8
