#include "documents/DocumentFile.h"

namespace quorvane {

bool DocumentFile::open(const FileContentSource& opened) {
    close();
    error_.clear();
    if (!file_.openSame(opened)) {
        error_ = file_.errorString();
        return false;
    }
    size_ = file_.size();
    return true;
}

void DocumentFile::close() {
    file_.close();
    size_ = 0;
}

qint64 DocumentFile::readAt(qint64 offset, char* buffer, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        QString error;
        const qint64 got = file_.readAt(offset + done, buffer + done, size - done, error);
        if (got < 0) {
            error_ = error;
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

}  // namespace quorvane
