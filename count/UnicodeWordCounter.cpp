#include "UnicodeWordCounter.h"

namespace quorvane {

void UnicodeWordCounter::feed(const char* data, std::size_t size) noexcept {
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        const bool space = c == ' ' || (c >= '\t' && c <= '\r');
        if (!space && !inWord_) {
            ++words_;
        }
        inWord_ = !space;
    }
}

}  // namespace quorvane
