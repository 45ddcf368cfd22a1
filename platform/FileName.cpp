#include "platform/FileName.h"

#include "platform/Utf8.h"

namespace quorvane {

// Names are read and written as UTF-8 on every system: on Linux that is the system's
// encoding (Qt 6 takes it as such whatever the locale), and on Windows names arrive as
// UTF-16 from the wide API and never need held bytes.

namespace {

constexpr char16_t kHeldFirst = 0xDC80;  // holds byte 0x80
constexpr char16_t kHeldLast = 0xDCFF;   // holds byte 0xFF

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// The UTF-8 sequence starting at p, in strict form: no overlong forms, no encoded
// surrogates, nothing above U+10FFFF. Returns its length and sets code, or 0 when the
// first byte does not start a valid sequence. Only called for bytes of 0x80 and above.
int decodeSequence(const unsigned char* p, qsizetype available, char32_t& code) {
    const unsigned char lead = p[0];
    int trailing;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0xC2) {
        return 0;  // a continuation byte, or the overlong C0 and C1
    }
    if (lead < 0xE0) {
        trailing = 1;
        code = lead & 0x1F;
    } else if (lead < 0xF0) {
        trailing = 2;
        code = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;  // below is overlong
        } else if (lead == 0xED) {
            high = 0x9F;  // above are the surrogates
        }
    } else if (lead < 0xF5) {
        trailing = 3;
        code = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;  // below is overlong
        } else if (lead == 0xF4) {
            high = 0x8F;  // above lies beyond U+10FFFF
        }
    } else {
        return 0;
    }
    if (available <= trailing) {
        return 0;
    }
    for (int k = 1; k <= trailing; ++k) {
        const unsigned char next = p[k];
        if (next < low || next > high) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return trailing + 1;
}

// Calls held(index) for every unit of name that holds a byte. A high surrogate followed
// by a low one is a character, whatever the low one's value.
template <typename Held>
void forEachHeld(const QString& name, Held held) {
    const auto* units = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = units[i];
        if (u < 0xD800) {
            continue;
        }
        if (isHighSurrogate(u) && i + 1 < size && isLowSurrogate(units[i + 1])) {
            ++i;
        } else if (u >= kHeldFirst && u <= kHeldLast) {
            if (!held(i)) {
                return;
            }
        }
    }
}

}  // namespace

QString FileName::fromNative(const QByteArray& bytes) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size && in[i] < 0x80) {
        ++i;
    }
    if (i == size) {
        return QString::fromLatin1(bytes);  // most names are plain ASCII
    }
    // A name never takes more UTF-16 units than it has bytes.
    QString name(size, Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(name.data());
    char16_t* const begin = out;
    for (qsizetype k = 0; k < i; ++k) {
        *out++ = in[k];
    }
    while (i < size) {
        const unsigned char byte = in[i];
        if (byte < 0x80) {
            *out++ = byte;
            ++i;
            continue;
        }
        char32_t code = 0;
        const int length = decodeSequence(in + i, size - i, code);
        if (length == 0) {
            // Each byte is held on its own; the next one may start a valid sequence.
            *out++ = static_cast<char16_t>(kHeldFirst + (byte - 0x80));
            ++i;
        } else if (code >= 0x10000) {
            *out++ = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            i += length;
        } else {
            *out++ = static_cast<char16_t>(code);
            i += length;
        }
    }
    name.truncate(out - begin);
    return name;
}

QByteArray FileName::toNative(const QString& name) {
    const auto* units = reinterpret_cast<const char16_t*>(name.constData());
    const qsizetype size = name.size();
    qsizetype i = 0;
    while (i < size && units[i] < 0x80) {
        ++i;
    }
    if (i == size) {
        return name.toLatin1();
    }
    QByteArray bytes;
    bytes.reserve(size * 3);
    bytes.append(name.first(i).toLatin1());
    for (; i < size; ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < size && isLowSurrogate(units[i + 1])) {
            utf8::append(bytes, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= kHeldFirst && u <= kHeldLast) {
            bytes.append(static_cast<char>(u - kHeldFirst + 0x80));
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            // A lone surrogate that holds no byte has no encoding; no listed name has one.
            utf8::append(bytes, 0xFFFD);
        } else {
            utf8::append(bytes, u);
        }
    }
    return bytes;
}

QString FileName::display(const QString& name) {
    QString shown = name;  // shares the text when there is nothing to replace
    forEachHeld(name, [&shown](qsizetype at) {
        shown[at] = QChar::ReplacementCharacter;
        return true;
    });
    return shown;
}

bool FileName::holdsBytes(const QString& name) {
    bool holds = false;
    forEachHeld(name, [&holds](qsizetype) {
        holds = true;
        return false;
    });
    return holds;
}

}  // namespace quorvane
