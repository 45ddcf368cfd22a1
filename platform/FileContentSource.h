#pragma once

#include <QString>

#include <memory>

#include "platform/ContentSource.h"

namespace quorvane {

// Reads files from disk without ever waiting on them: anything but a regular file (a
// FIFO, socket or device put in a listed file's place) is refused at open, and a read
// that would block is a failure, so no file can hang a count.
class FileContentSource : public ContentSource {
public:
    FileContentSource();
    ~FileContentSource() override;

    bool open(const QString& path) override;
    qint64 read(char* buffer, qint64 size) override;
    void close() override;
    QString errorString() const override { return error_; }
    FileIdentity identity() const override { return identity_; }
    bool canReadAt() const override;
    qint64 size() const override { return size_; }
    qint64 readAt(qint64 offset, char* buffer, qint64 size, QString& error) override;
    std::unique_ptr<MappedBytes> mapAt(qint64 offset, qint64 size) override;
    // A name that reaches the open file itself even if its own name has moved on since,
    // for libraries that open files only by name.
    QString openName() const;

    // Takes over a file another process opened and handed over: checked as open() checks
    // (regular files only), and closed with this source.
    bool adopt(qintptr handle);
    // The same open file again, with a reading position of its own; no name is looked up,
    // so it is the very file `other` checked.
    bool openSame(const FileContentSource& other);
    // The system's handle of the open file (a descriptor on POSIX); -1 when none is open.
    qintptr nativeHandle() const;

private:
    bool take(qintptr handle);

    struct Handle;
    std::unique_ptr<Handle> handle_;
    QString error_;
    FileIdentity identity_;
    qint64 size_ = -1;
    QString path_;
};

}  // namespace quorvane
