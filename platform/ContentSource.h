#pragma once

#include <QFlags>
#include <QString>

#include <memory>

#include "platform/FileIdentity.h"
#include "platform/MappedBytes.h"

namespace quorvane {

// What a source found out about a file while reading it that its bytes do not say.
enum class ContentNote : unsigned {
    NoTextLayer = 1,  // a document whose pages hold no text at all (scanned images, say)
};
Q_DECLARE_FLAGS(ContentNotes, ContentNote)
Q_DECLARE_OPERATORS_FOR_FLAGS(ContentNotes)

// Where the count reads a file's bytes from. One source reads one file at a time:
// open, read pieces until 0, close. A failure leaves the reason in errorString().
class ContentSource {
public:
    virtual ~ContentSource() = default;

    // What read() gives when nothing has come yet from a source that waits on another
    // process: no bytes, not the end; the caller takes its turn and asks again.
    static constexpr qint64 kNotYet = -2;

    virtual bool open(const QString& path) = 0;
    // The number of bytes read into `buffer`, 0 at the end, -1 on failure, or kNotYet.
    virtual qint64 read(char* buffer, qint64 size) = 0;
    virtual void close() = 0;
    virtual QString errorString() const = 0;
    // The open file's identity; invalid where the system gives none.
    virtual FileIdentity identity() const { return {}; }
    // What the source found out about the open file; known once read() has given 0.
    virtual ContentNotes notes() const { return {}; }

    // Sources of plain files can also be read at any offset, from several threads at once,
    // so that one large file can be counted in parts.
    virtual bool canReadAt() const { return false; }
    // The size of the open file when it was opened; -1 when unknown.
    virtual qint64 size() const { return -1; }
    // Like read(), from `offset`, without moving anything read() uses; the reason for a
    // failure goes to `error`, as several threads may fail at once.
    virtual qint64 readAt(qint64 offset, char* buffer, qint64 size, QString& error) {
        Q_UNUSED(offset);
        Q_UNUSED(buffer);
        Q_UNUSED(size);
        error = errorString();
        return -1;
    }
    // The bytes [offset, offset + size) of a plain file mapped into memory, from any
    // thread; null where the system does not map them, and the caller reads instead.
    virtual std::unique_ptr<MappedBytes> mapAt(qint64 offset, qint64 size) {
        Q_UNUSED(offset);
        Q_UNUSED(size);
        return nullptr;
    }
};

}  // namespace quorvane
