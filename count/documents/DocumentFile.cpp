#include "DocumentFile.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "FileName.h"
#include "SystemError.h"

namespace quorvane {

DocumentFile::~DocumentFile() {
    close();
}

bool DocumentFile::open(const QString& path, const FileIdentity& expected) {
    close();
    error_.clear();
    path_ = path;
    const int fd = ::open(FileName::toNative(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error_ = SystemError::text(errno);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        error_ = SystemError::text(errno);
        ::close(fd);
        return false;
    }
    const FileIdentity identity{static_cast<quint64>(info.st_dev),
                                static_cast<quint64>(info.st_ino), true};
    if (!S_ISREG(info.st_mode) || (expected.valid && !identity.sameFileAs(expected))) {
        error_ = QStringLiteral("the file was replaced while it was read");
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = info.st_size;
    return true;
}

void DocumentFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    size_ = 0;
}

qint64 DocumentFile::readAt(qint64 offset, char* buffer, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd_, buffer + done, static_cast<size_t>(size - done),
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error_ = SystemError::text(errno);
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

QString DocumentFile::openName() const {
    // The descriptor's own entry reaches the checked file even if the name moved on.
    const QString own = QStringLiteral("/proc/self/fd/%1").arg(fd_);
    if (fd_ >= 0 && QFileInfo::exists(own)) {
        return own;
    }
    return path_;
}

}  // namespace quorvane
