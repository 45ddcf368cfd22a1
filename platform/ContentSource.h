#pragma once

#include <QString>

#include <memory>

#include "FileIdentity.h"

namespace quorvane {

// Where the count reads a file's bytes from. One source reads one file at a time:
// open, read pieces until 0, close. A failure leaves the reason in errorString().
class ContentSource {
public:
    virtual ~ContentSource() = default;

    virtual bool open(const QString& path) = 0;
    // The number of bytes read into `buffer`, 0 at the end, -1 on failure.
    virtual qint64 read(char* buffer, qint64 size) = 0;
    virtual void close() = 0;
    virtual QString errorString() const = 0;
    // The open file's identity; invalid where the system gives none.
    virtual FileIdentity identity() const { return {}; }
};

}  // namespace quorvane
