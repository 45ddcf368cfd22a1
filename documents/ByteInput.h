#pragma once

#include <QString>

namespace quorvane {

// A stream of bytes read front to back: a file, or one entry of an archive.
class ByteInput {
public:
    virtual ~ByteInput() = default;
    // The number of bytes read, 0 at the end, -1 on failure (reason in errorString()).
    virtual qint64 read(char* buffer, qint64 size) = 0;
    virtual QString errorString() const = 0;
};

}  // namespace quorvane
