#pragma once

#include <QString>

#include "platform/FileContentSource.h"

namespace quorvane {

// A document file read at any offset, as archives and PDF need (their index is at the
// end). It is the very file the count already opened and checked, never looked up by name
// again, so nothing that took its name in between can be read in its place.
class DocumentFile {
public:
    DocumentFile() = default;
    DocumentFile(const DocumentFile&) = delete;
    DocumentFile& operator=(const DocumentFile&) = delete;

    bool open(const FileContentSource& opened);
    void close();
    // -1 on failure, with the reason in errorString(); fewer bytes only at the end.
    qint64 readAt(qint64 offset, char* buffer, qint64 size);
    qint64 size() const { return size_; }
    // The system's handle of the open file, for libraries that read a handle.
    qintptr nativeHandle() const { return file_.nativeHandle(); }
    QString errorString() const { return error_; }

private:
    FileContentSource file_;
    qint64 size_ = 0;
    QString error_;
};

}  // namespace quorvane
