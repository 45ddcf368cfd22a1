#pragma once

#include <QtGlobal>

#include <cstddef>

namespace quorvane {

// A stretch of a plain file mapped into memory, read in place instead of being copied
// into a buffer first. Mapped memory faults when the file shrinks under it; visit() turns
// that into a failure the caller reports, instead of the end of the program.
class MappedBytes {
public:
    using Take = void (*)(void* context, const char* bytes, std::size_t size);

    virtual ~MappedBytes() = default;

    // Hands `take` the bytes [at, at + size) of the stretch. False when the file shrank
    // under them, in which case `take` may have seen some of them.
    virtual bool visit(qint64 at, qint64 size, Take take, void* context) = 0;
};

}  // namespace quorvane
