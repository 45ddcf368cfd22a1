#include "count/RuleCounter.h"

#include <cstring>

namespace quorvane {

RuleCounter RuleCounter::forLaterPart(WordRule rule, QByteArrayView fileHead) noexcept {
    Q_UNUSED(fileHead);
    RuleCounter counter(rule);
    counter.classic_.resumeAfterSpace();
    return counter;
}

RuleCounter::Part RuleCounter::part() noexcept {
    return Part{classic_.part()};
}

qint64 RuleCounter::combineParts(WordRule rule, const std::vector<Part>& parts) noexcept {
    Q_UNUSED(rule);
    std::vector<WordCounter::Part> classic;
    classic.reserve(parts.size());
    for (const Part& part : parts) {
        classic.push_back(part.classic);
    }
    return WordCounter::combineParts(classic.data(), classic.size());
}

qint64 RuleCounter::partStartIn(WordRule rule, const char* bytes, std::size_t size,
                                qint64 offset) noexcept {
    Q_UNUSED(rule);
    Q_UNUSED(offset);
    const void* space = std::memchr(bytes, ' ', size);
    return space == nullptr ? -1 : static_cast<const char*>(space) - bytes + 1;
}

}  // namespace quorvane
