#include "count/TextFilter.h"

#include <array>

namespace quorvane {

namespace {

constexpr std::array<TextFilter::Kind, 256> makeKinds() {
    std::array<TextFilter::Kind, 256> kinds{};
    for (int b = 0; b < 256; ++b) {
        const bool wordChar =
            (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '.';
        kinds[b] = wordChar   ? TextFilter::Kind::WordChar
                   : b == ' ' ? TextFilter::Kind::Space
                              : TextFilter::Kind::Dropped;
    }
    return kinds;
}

constexpr std::array<TextFilter::Kind, 256> kKinds = makeKinds();

}  // namespace

TextFilter::Kind TextFilter::kindOf(unsigned char byte) noexcept {
    return kKinds[byte];
}

char TextFilter::feed(unsigned char byte) noexcept {
    switch (kindOf(byte)) {
        case Kind::WordChar:
            lastKeptWasSpace_ = false;
            return static_cast<char>(byte);
        case Kind::Space:
            if (lastKeptWasSpace_) {
                return 0;
            }
            lastKeptWasSpace_ = true;
            return ' ';
        case Kind::Dropped:
            break;
    }
    return 0;
}

QByteArray TrimASC(const QByteArray& content) {
    QByteArray result;
    result.reserve(content.size());
    TextFilter filter;
    for (const char c : content) {
        if (const char kept = filter.feed(static_cast<unsigned char>(c))) {
            result.append(kept);
        }
    }
    // The filter never keeps two spaces in a row, so at most one stands at either end.
    if (result.startsWith(' ')) {
        result.remove(0, 1);
    }
    if (result.endsWith(' ')) {
        result.chop(1);
    }
    return result;
}

qint64 wordCount(const QByteArray& filtered) {
    if (filtered.isEmpty()) {
        return 0;
    }
    return static_cast<qint64>(filtered.count(' ')) + 1;
}

qsizetype lastCJPosition(const QByteArray& content) {
    for (qsizetype i = content.size() - 3; i >= 0; --i) {
        if (content[i + 2] == '$' && (content[i + 1] | 0x20) == 'j' && (content[i] | 0x20) == 'c') {
            return i;
        }
    }
    return -1;
}

QByteArray cutAtLastCJ(const QByteArray& content) {
    const qsizetype at = lastCJPosition(content);
    return at < 0 ? content : content.left(at + 1);
}

}  // namespace quorvane
