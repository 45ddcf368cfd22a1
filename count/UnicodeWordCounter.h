#pragma once

#include <QtGlobal>

#include <cstddef>

namespace quorvane {

// Streaming word count under the Unicode rule (see WordRule), fed in pieces of any size.
// Placeholder: counts runs of bytes that are not ASCII white space.
class UnicodeWordCounter {
public:
    void feed(const char* data, std::size_t size) noexcept;
    // The count of everything fed so far; call once the last piece is in.
    qint64 count() noexcept { return words_; }

private:
    qint64 words_ = 0;
    bool inWord_ = false;
};

}  // namespace quorvane
