#include "platform/ReportFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/FileName.h"
#include "platform/SystemError.h"

namespace quorvane {

namespace {

// Written out in pieces of this size while a temporary file is filled; streams and
// in-place rewrites keep the whole report, which is small next to what it counts.
constexpr qsizetype kFlushAt = qsizetype{64} * 1024;

enum class Mode {
    None,
    Temporary,  // a new file beside the report, renamed over it at the end
    InPlace,    // the report itself, rewritten at the end
    Stream,     // a device, FIFO or socket the user named, written at the end
    StandardOutput,
};

bool writeAll(int fd, const char* data, qsizetype size, int& error) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, static_cast<size_t>(size));
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {  // a stream opened non-blocking by someone else
                pollfd wait{fd, POLLOUT, 0};
                ::poll(&wait, 1, -1);
                continue;
            }
            error = errno;
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}

// Sets aside the blocks for a report of `length` bytes in the file it will overwrite,
// so that writing it cannot fail for want of room: 0, or the reason it could not be.
// Mode 0 extends the file with blocks that read as zeros and leaves the bytes already
// there as they are. posix_fallocate() is no substitute: where the file system cannot
// set room aside, glibc writes a zero byte into each block of the range itself, racing
// any other writer of a shared file and promising nothing about room on a network share.
int reserve(int fd, off_t length) {
#ifdef __linux__
    int result;
    do {
        result = ::fallocate(fd, 0, 0, length);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
#else
    (void)fd;
    (void)length;
    return EOPNOTSUPP;
#endif
}

// Overwrites the report in its own file with `bytes`: the only way left where its folder
// takes no new file. The earlier report must stand until nothing can stop the new one for
// want of room, so the room is set aside first, and a refusal leaves the earlier report
// byte for byte (its length included).
bool rewriteInPlace(int fd, const QByteArray& bytes, QString& reason) {
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        reason = SystemError::text(errno);
        return false;
    }
    const off_t length = static_cast<off_t>(bytes.size());
    // A report no longer than the earlier one fits in the blocks that one already holds.
    if (length > info.st_size) {
        const int refused = reserve(fd, length);
        if (refused != 0) {
            // A file system may keep what it managed to add before running out (ext4
            // does); those bytes are zeros past the earlier report's end.
            struct stat now;
            if (::fstat(fd, &now) == 0 && now.st_size != info.st_size &&
                ::ftruncate(fd, info.st_size) != 0) {
                reason = SystemError::text(refused);
                return false;
            }
            reason = QStringLiteral("%1 (no room could be set aside to rewrite it in place; "
                                    "the earlier report is kept as it was)")
                         .arg(SystemError::text(refused));
            return false;
        }
    }
    // From here the earlier report is being overwritten. Lack of room should no longer
    // stop it, but an I/O error still can, and so can a copy-on-write file system (btrfs
    // with a snapshot of the file, for one), which needs new blocks even to overwrite old
    // ones; the reason is told, but the file is then part new report, part earlier one.
    int error = 0;
    if (::lseek(fd, 0, SEEK_SET) != 0 || !writeAll(fd, bytes.constData(), bytes.size(), error) ||
        ::ftruncate(fd, length) != 0 || ::fsync(fd) != 0) {
        reason = SystemError::text(error != 0 ? error : errno);
        return false;
    }
    return true;
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// What the report's path names now, in `info` where it `exists`. The program's own report
// is never written through a link; a link the user named leads to the report, and
// `native` becomes what it leads to. Gives the reason when the path cannot be the report.
QString lookAtReportPath(ReportFile::Target target, QByteArray& native, struct stat& info,
                         bool& exists) {
    exists = false;
    if (native.isEmpty()) {
        return SystemError::text(ENOENT);
    }
    exists = ::lstat(native.constData(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return SystemError::text(errno);
    }
    if (exists && S_ISLNK(info.st_mode)) {
        if (target == ReportFile::Target::ProgramReport) {
            return QStringLiteral("%1 is a symbolic link")
                .arg(FileName::display(FileName::fromNative(nameOf(native))));
        }
        char resolved[PATH_MAX];
        if (::realpath(native.constData(), resolved) == nullptr) {
            return SystemError::text(errno);
        }
        native = resolved;
        exists = ::stat(native.constData(), &info) == 0;
        if (!exists) {
            return SystemError::text(errno);
        }
    }
    return QString();
}

// Opens, in the report's folder, the file the report is written to until it is complete:
// unnamed where the file system allows, so that nothing is left behind whatever ends the
// program, else under a hidden temporary name. `fd` is -1 when neither could be made;
// gives the reason then.
int openTemporary(int folderFd, const QByteArray& reportName, int& fd, bool& unnamed,
                  QByteArray& temporaryName) {
    // 0666 less the umask, as for any new file; an earlier report's bits are set after.
    constexpr mode_t kNewFileMode = 0666;
#ifdef O_TMPFILE
    fd = ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
    unnamed = fd >= 0;
#endif
    int createError = errno;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        // Hidden, so that a temporary file left by a crash is never counted as a file.
        temporaryName = '.' + reportName + '.' +
                        QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::openat(folderFd, temporaryName.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
        createError = errno;
        if (fd < 0 && createError != EEXIST) {
            break;
        }
    }
    return createError;
}

}  // namespace

struct ReportFile::State {
    Mode mode = Mode::None;
    int folderFd = -1;
    int fd = -1;
    QByteArray name;         // the report's name in its folder
    QByteArray streamPath;   // Stream: the path to open at the end
    QByteArray temporaryName;  // a named temporary file, when the folder has no unnamed ones
    bool unnamed = false;    // the temporary file has no name until the end
    QByteArray pending;
    FileIdentity replaced;

    ~State() {
        if (fd >= 0) {
            ::close(fd);
        }
        if (folderFd >= 0) {
            ::close(folderFd);
        }
    }
};

ReportFile::ReportFile(const QString& path, Target target)
    : state_(std::make_unique<State>()), path_(path), target_(target) {}

ReportFile::~ReportFile() {
    discard();
}

FileIdentity ReportFile::replacedIdentity() const {
    return state_->replaced;
}

bool ReportFile::fail(const QString& reason) {
    setErrorString(reason);
    return false;
}

bool ReportFile::create() {
    State& s = *state_;
    if (target_ == Target::StandardOutput) {
        s.mode = Mode::StandardOutput;
        struct stat info;
        if (::fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode)) {
            s.replaced = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                          true};
        }
        return QIODevice::open(QIODevice::WriteOnly);
    }

    QByteArray native = FileName::toNative(path_);
    struct stat info;
    bool exists = false;
    const QString refused = lookAtReportPath(target_, native, info, exists);
    if (!refused.isEmpty()) {
        return fail(refused);
    }
    if (exists && S_ISDIR(info.st_mode)) {
        return fail(SystemError::text(EISDIR));
    }
    if (exists && !S_ISREG(info.st_mode) && target_ == Target::UserNamed) {
        s.mode = Mode::Stream;
        s.streamPath = native;
        return QIODevice::open(QIODevice::WriteOnly);
    }
    if (exists && S_ISREG(info.st_mode)) {
        s.replaced = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino), true};
    }

    s.name = nameOf(native);
    s.folderFd = ::open(folderOf(native).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (s.folderFd < 0) {
        return fail(SystemError::text(errno));
    }
    const int createError = openTemporary(s.folderFd, s.name, s.fd, s.unnamed, s.temporaryName);
    if (s.fd < 0) {
        s.temporaryName.clear();
        // A folder that takes no new file may still hold a report the user may rewrite.
        if (exists && (createError == EACCES || createError == EPERM || createError == EROFS)) {
            s.fd = ::openat(s.folderFd, s.name.constData(),
                            O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (s.fd >= 0) {
                s.mode = Mode::InPlace;
                return QIODevice::open(QIODevice::WriteOnly);
            }
        }
        return fail(SystemError::text(createError));
    }
    s.mode = Mode::Temporary;
    if (exists) {
        // Best effort for the owner (only root may give a file away); the bits must hold.
        if (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(s.fd, info.st_uid, info.st_gid);
        }
        if (::fchmod(s.fd, info.st_mode & 07777) != 0) {
            const int error = errno;
            discard();
            return fail(SystemError::text(error));
        }
    }
    return QIODevice::open(QIODevice::WriteOnly);
}

qint64 ReportFile::readData(char*, qint64) {
    return -1;
}

qint64 ReportFile::writeData(const char* data, qint64 size) {
    State& s = *state_;
    if (s.mode == Mode::None) {
        return -1;
    }
    s.pending.append(data, static_cast<qsizetype>(size));
    if (s.mode == Mode::Temporary && s.pending.size() >= kFlushAt) {
        int error = 0;
        if (!writeAll(s.fd, s.pending.constData(), s.pending.size(), error)) {
            setErrorString(SystemError::text(error));
            return -1;
        }
        s.pending.clear();
    }
    return size;
}

bool ReportFile::commit() {
    State& s = *state_;
    if (!isOpen() || s.mode == Mode::None) {
        return false;
    }
    int error = 0;
    switch (s.mode) {
        case Mode::StandardOutput:
            if (!writeAll(STDOUT_FILENO, s.pending.constData(), s.pending.size(), error)) {
                return fail(SystemError::text(error));
            }
            break;
        case Mode::Stream: {
            // Waits for a reader of a FIFO, as any program writing to one does.
            const int fd = ::open(s.streamPath.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (fd < 0) {
                return fail(SystemError::text(errno));
            }
            const bool written = writeAll(fd, s.pending.constData(), s.pending.size(), error);
            ::close(fd);
            if (!written) {
                return fail(SystemError::text(error));
            }
            break;
        }
        case Mode::InPlace: {
            QString reason;
            if (!rewriteInPlace(s.fd, s.pending, reason)) {
                return fail(reason);
            }
            break;
        }
        case Mode::Temporary: {
            if (!writeAll(s.fd, s.pending.constData(), s.pending.size(), error) ||
                ::fsync(s.fd) != 0) {
                error = error != 0 ? error : errno;
                discard();
                return fail(SystemError::text(error));
            }
            if (s.unnamed) {
                const QByteArray proc = "/proc/self/fd/" + QByteArray::number(s.fd);
                for (int attempt = 0; attempt < 100; ++attempt) {
                    s.temporaryName = '.' + s.name + '.' +
                                      QByteArray::number(QRandomGenerator::global()->generate(), 36);
                    if (::linkat(AT_FDCWD, proc.constData(), s.folderFd,
                                 s.temporaryName.constData(), AT_SYMLINK_FOLLOW) == 0) {
                        break;
                    }
                    error = errno;
                    s.temporaryName.clear();
                    if (error != EEXIST) {
                        break;
                    }
                }
                if (s.temporaryName.isEmpty()) {
                    discard();
                    return fail(SystemError::text(error));
                }
            }
            // close() is where some file systems (NFS among them) report a failed write.
            const int closed = ::close(s.fd);
            s.fd = -1;
            if (closed != 0 ||
                ::renameat(s.folderFd, s.temporaryName.constData(), s.folderFd,
                           s.name.constData()) != 0) {
                error = errno;
                discard();
                return fail(SystemError::text(error));
            }
            s.temporaryName.clear();
            break;
        }
        case Mode::None:
            return false;
    }
    s.pending.clear();
    s.mode = Mode::None;
    QIODevice::close();
    return true;
}

void ReportFile::discard() {
    State& s = *state_;
    if (s.fd >= 0) {
        ::close(s.fd);
        s.fd = -1;
    }
    if (!s.temporaryName.isEmpty() && s.folderFd >= 0) {
        ::unlinkat(s.folderFd, s.temporaryName.constData(), 0);
        s.temporaryName.clear();
    }
    s.pending.clear();
    s.mode = Mode::None;
    if (isOpen()) {
        QIODevice::close();
    }
}

}  // namespace quorvane
