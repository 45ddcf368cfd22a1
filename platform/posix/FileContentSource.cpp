#include "platform/FileContentSource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <mutex>

#include "platform/FileName.h"
#include "platform/SystemError.h"

namespace quorvane {

namespace {

constexpr off_t kAdviseFrom = off_t{1} << 20;

// A mapped file that shrinks leaves the pages past its new end without bytes, and reading
// them raises SIGBUS. While this thread reads a mapping, the handler jumps back to the
// reader, which reports the file as changed; any other SIGBUS is the system's as before.
struct MappedRead {
    const char* begin = nullptr;
    const char* end = nullptr;
    sigjmp_buf back;
};
thread_local MappedRead* currentRead = nullptr;
struct sigaction previousBusHandler;

void onBusError(int signal, siginfo_t* info, void* context) {
    MappedRead* const read = currentRead;
    const auto* at = static_cast<const char*>(info->si_addr);
    if (read != nullptr && at >= read->begin && at < read->end) {
        siglongjmp(read->back, 1);
    }
    if ((previousBusHandler.sa_flags & SA_SIGINFO) != 0 &&
        previousBusHandler.sa_sigaction != nullptr) {
        previousBusHandler.sa_sigaction(signal, info, context);
        return;
    }
    if (previousBusHandler.sa_handler != SIG_DFL && previousBusHandler.sa_handler != SIG_IGN) {
        previousBusHandler.sa_handler(signal);
        return;
    }
    // Back to the system's way: the faulting read runs again and ends the program.
    ::signal(SIGBUS, SIG_DFL);
}

void catchBusErrors() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action = {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousBusHandler);
    });
}

class PosixMappedBytes : public MappedBytes {
public:
    PosixMappedBytes(void* mapping, std::size_t length, std::size_t skip)
        : mapping_(mapping), length_(length), bytes_(static_cast<const char*>(mapping) + skip) {}
    ~PosixMappedBytes() override { ::munmap(mapping_, length_); }

    bool visit(qint64 at, qint64 size, Take take, void* context) override {
        MappedRead read;
        read.begin = static_cast<const char*>(mapping_);
        read.end = read.begin + length_;
        if (sigsetjmp(read.back, 1) != 0) {
            currentRead = nullptr;
            return false;
        }
        currentRead = &read;
        take(context, bytes_ + at, static_cast<std::size_t>(size));
        currentRead = nullptr;
        return true;
    }

private:
    void* mapping_;
    std::size_t length_;
    const char* bytes_;
};

}  // namespace

struct FileContentSource::Handle {
    int fd = -1;
    qint64 left = 0;  // bytes to the size the file had when opened
    bool atEnd = false;
};

FileContentSource::FileContentSource() : handle_(std::make_unique<Handle>()) {}

FileContentSource::~FileContentSource() {
    close();
}

bool FileContentSource::open(const QString& path) {
    close();
    path_ = path;
    // O_NONBLOCK: opening a FIFO with no writer, or a device, must not wait. It changes
    // nothing for a regular file.
    const int fd =
        ::open(FileName::toNative(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error_ = SystemError::text(errno);
        identity_ = {};
        size_ = -1;
        return false;
    }
    return take(fd);
}

bool FileContentSource::adopt(qintptr handle) {
    close();
    path_.clear();
    return take(handle);
}

bool FileContentSource::openSame(const FileContentSource& other) {
    close();
    path_ = other.path_;
    const int fd = other.handle_->fd < 0 ? -1 : ::fcntl(other.handle_->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error_ = SystemError::text(other.handle_->fd < 0 ? EBADF : errno);
        identity_ = {};
        size_ = -1;
        return false;
    }
    return take(fd);
}

qintptr FileContentSource::nativeHandle() const {
    return handle_->fd;
}

bool FileContentSource::take(qintptr handle) {
    const int fd = static_cast<int>(handle);
    error_.clear();
    identity_ = {};
    size_ = -1;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        error_ = SystemError::text(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error_ = S_ISDIR(info.st_mode) ? SystemError::text(EISDIR)
                                       : QStringLiteral("not a regular file");
        ::close(fd);
        return false;
    }
    // Read-ahead advice pays only where there is much to read ahead.
    if (info.st_size > kAdviseFrom) {
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    handle_->fd = fd;
    handle_->left = static_cast<qint64>(info.st_size);
    handle_->atEnd = false;
    identity_ = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino), true};
    size_ = static_cast<qint64>(info.st_size);
    return true;
}

qint64 FileContentSource::read(char* buffer, qint64 size) {
    if (handle_->fd < 0) {
        error_ = SystemError::text(EBADF);
        return -1;
    }
    // A short read that reaches the size the file had is its end: one system call less
    // for every small file. A file that grew is still read to its new end.
    if (handle_->atEnd) {
        return 0;
    }
    for (;;) {
        const ssize_t got = ::read(handle_->fd, buffer, static_cast<size_t>(size));
        if (got >= 0) {
            handle_->left -= got;
            handle_->atEnd = got > 0 && got < size && handle_->left == 0;
            return got;
        }
        if (errno != EINTR) {
            // EAGAIN included: a file that would make us wait (some /proc and /sys files)
            // is not one we can count.
            error_ = SystemError::text(errno);
            return -1;
        }
    }
}

bool FileContentSource::canReadAt() const {
    return handle_->fd >= 0;
}

qint64 FileContentSource::readAt(qint64 offset, char* buffer, qint64 size, QString& error) {
    for (;;) {
        const ssize_t got =
            ::pread(handle_->fd, buffer, static_cast<size_t>(size), static_cast<off_t>(offset));
        if (got >= 0) {
            return got;
        }
        if (errno != EINTR) {
            error = SystemError::text(errno);
            return -1;
        }
    }
}

std::unique_ptr<MappedBytes> FileContentSource::mapAt(qint64 offset, qint64 size) {
    if (handle_->fd < 0 || offset < 0 || size <= 0) {
        return nullptr;
    }
    static const qint64 page = qMax<qint64>(::sysconf(_SC_PAGESIZE), 1);
    const qint64 start = offset - offset % page;
    const auto length = static_cast<std::size_t>(size + (offset - start));
    void* mapping =
        ::mmap(nullptr, length, PROT_READ, MAP_SHARED, handle_->fd, static_cast<off_t>(start));
    if (mapping == MAP_FAILED) {
        return nullptr;  // read instead
    }
    ::madvise(mapping, length, MADV_SEQUENTIAL);
    catchBusErrors();
    return std::make_unique<PosixMappedBytes>(mapping, length,
                                              static_cast<std::size_t>(offset - start));
}

QString FileContentSource::openName() const {
    // The descriptor's own entry reaches the checked file even if the name moved on.
    if (handle_->fd >= 0) {
        const QByteArray own = "/proc/self/fd/" + QByteArray::number(handle_->fd);
        struct stat info;
        if (::stat(own.constData(), &info) == 0) {
            return QString::fromLatin1(own);
        }
    }
    return path_;
}

void FileContentSource::close() {
    if (handle_->fd >= 0) {
        ::close(handle_->fd);
        handle_->fd = -1;
    }
}

}  // namespace quorvane
