#include "count/RuleCounter.h"

#include <cstring>

namespace quorvane {

RuleCounter RuleCounter::forLaterPart(WordRule rule, QByteArrayView fileHead) noexcept {
    RuleCounter counter(rule);
    if (rule == WordRule::Classic) {
        counter.classic_.resumeAfterSpace();
    } else {
        counter.unicode_ = UnicodeWordCounter::forLaterPart(
            fileHead.data(), static_cast<std::size_t>(fileHead.size()));
    }
    return counter;
}

RuleCounter::Part RuleCounter::part() noexcept {
    if (rule_ == WordRule::Classic) {
        return Part{classic_.part(), {}};
    }
    return Part{{}, unicode_.part()};
}

qint64 RuleCounter::combineParts(WordRule rule, const std::vector<Part>& parts) noexcept {
    if (rule == WordRule::Unicode) {
        std::vector<UnicodeWordCounter::Part> unicode;
        unicode.reserve(parts.size());
        for (const Part& part : parts) {
            unicode.push_back(part.unicode);
        }
        return UnicodeWordCounter::combineParts(unicode.data(), unicode.size());
    }
    std::vector<WordCounter::Part> classic;
    classic.reserve(parts.size());
    for (const Part& part : parts) {
        classic.push_back(part.classic);
    }
    return WordCounter::combineParts(classic.data(), classic.size());
}

qint64 RuleCounter::partStartIn(WordRule rule, const char* bytes, std::size_t size, qint64 offset,
                                QByteArrayView fileHead) noexcept {
    if (rule == WordRule::Unicode) {
        // Without the head the encoding, and so what a space looks like, is unknown.
        if (fileHead.isEmpty()) {
            return -1;
        }
        return UnicodeWordCounter::partStartIn(bytes, size, offset, fileHead.data(),
                                               static_cast<std::size_t>(fileHead.size()));
    }
    const void* space = std::memchr(bytes, ' ', size);
    return space == nullptr ? -1 : static_cast<const char*>(space) - bytes + 1;
}

}  // namespace quorvane
