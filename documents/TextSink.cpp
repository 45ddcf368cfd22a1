#include "documents/TextSink.h"

#include <cstring>

namespace quorvane {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
// The most bytes one character can add: a space or the byte-order mark before it, and
// its own four.
constexpr qsizetype kMostPerCharacter = 3 + 4;

bool isBreakingSpace(char32_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// The length of the well-formed UTF-8 sequence of two to four bytes at p, 0 where there is
// none (a stray byte, a cut-off, overlong or surrogate sequence).
qsizetype sequenceLength(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    const qsizetype n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || left < n) {
        return 0;
    }
    for (qsizetype k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            return 0;
        }
    }
    if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0) || (c == 0xF0 && p[1] < 0x90) ||
        (c == 0xF4 && p[1] >= 0x90)) {
        return 0;
    }
    return n;
}

}  // namespace

// What goes before a character that is not white space: the byte-order mark before the
// first, a space where a gap is due.
char* TextSink::startCharacter(char* w) {
    if (!bomWritten_) {
        std::memcpy(w, kBom, 3);
        w += 3;
        bomWritten_ = true;
    } else if (pendingGap_) {
        *w++ = ' ';
    }
    pendingGap_ = false;
    started_ = true;
    return w;
}

// Writes one character at `w`, which has room for kMostPerCharacter bytes; returns the end.
char* TextSink::put(char* w, char32_t c) {
    if (c < 0x80) {
        if (c > ' ' && c != 0x7F && started_ && !pendingGap_) {
            *w++ = static_cast<char>(c);  // the common case: inside a word
            return w;
        }
        if (isBreakingSpace(c)) {
            gap();
            return w;
        }
        if (c < 0x20 || c == 0x7F) {
            return w;  // other control characters (cell marks, field marks) are not seen
        }
    } else if (isBreakingSpace(c)) {
        gap();
        return w;
    } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        c = 0xFFFD;
    }
    w = startCharacter(w);
    if (c < 0x80) {
        *w++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *w++ = static_cast<char>(0xC0 | (c >> 6));
        *w++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *w++ = static_cast<char>(0xE0 | (c >> 12));
        *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *w++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *w++ = static_cast<char>(0xF0 | (c >> 18));
        *w++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *w++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *w++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return w;
}

char* TextSink::reserve(qsizetype characters) {
    const qsizetype used = out_.size();
    out_.resize(used + characters * kMostPerCharacter);
    return out_.data() + used;
}

void TextSink::commit(char* end) {
    out_.resize(end - out_.constData());
}

void TextSink::text(QStringView text) {
    const qsizetype n = text.size();
    if (n == 0) {
        return;
    }
    const char16_t* p = text.utf16();
    char* w = reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00);
            ++i;
        }
        w = put(w, c);
    }
    commit(w);
}

void TextSink::utf8(const char* data, qsizetype size) {
    if (size == 0) {
        return;
    }
    char* w = reserve(size);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        if (b < 0x80) {
            if (b > ' ' && b != 0x7F && started_ && !pendingGap_) {
                // Inside a word: the run of printable ASCII goes out as it is.
                qsizetype j = i + 1;
                while (j < size && static_cast<unsigned char>(data[j]) > ' ' &&
                       static_cast<unsigned char>(data[j]) < 0x7F) {
                    ++j;
                }
                std::memcpy(w, data + i, static_cast<std::size_t>(j - i));
                w += j - i;
                i = j;
                continue;
            }
            w = put(w, b);
            ++i;
            continue;
        }
        // Multi-byte sequences go out as they are. libxml2 hands over UTF-8, except for a
        // byte that is not in a page said to be UTF-8: that one becomes U+FFFD, as the
        // counters that decode must never see a broken sequence.
        const auto* bytes = reinterpret_cast<const unsigned char*>(data);
        qsizetype j = i;
        while (j < size && bytes[j] >= 0x80) {
            const qsizetype n = sequenceLength(bytes + j, size - j);
            if (n == 0) {
                break;
            }
            j += n;
        }
        if (j == i) {
            w = put(w, 0xFFFD);
            ++i;
            continue;
        }
        w = startCharacter(w);
        std::memcpy(w, data + i, static_cast<std::size_t>(j - i));
        w += j - i;
        i = j;
    }
    commit(w);
}

void TextSink::codePoint(char32_t c) {
    commit(put(reserve(1), c));
}

void TextSink::filler() {
    char* w = reserve(1);
    std::memcpy(w, kBom, 3);
    bomWritten_ = true;
    commit(w + 3);
}

qsizetype TextSink::take(char* buffer, qsizetype size) {
    const qsizetype n = qMin(size, available());
    std::memcpy(buffer, out_.constData() + readPos_, static_cast<std::size_t>(n));
    readPos_ += n;
    if (readPos_ == out_.size()) {
        out_.resize(0);  // keeps the capacity for the next piece
        readPos_ = 0;
    }
    return n;
}

void TextSink::clear() {
    *this = TextSink();
}

}  // namespace quorvane
