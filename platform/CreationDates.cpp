#include "CreationDates.h"

#ifdef __linux__
#include <fcntl.h>
#include <sys/stat.h>

#include "FileName.h"
#else
#include <QFileInfo>
#endif

namespace quorvane {

#ifdef __linux__

namespace {

QDateTime localTime(qint64 seconds, qint64 nanoseconds) {
    return QDateTime::fromMSecsSinceEpoch(seconds * 1000 + nanoseconds / 1000000);
}

}  // namespace

// Examined by its bytes: QFileInfo would re-encode a name holding bytes that do not
// decode, and find no file.
QDateTime CreationDates::dateCreated(const QString& path) const {
    if (path.isEmpty()) {
        return {};
    }
    const QByteArray native = FileName::toNative(path);
#ifdef STATX_BTIME
    struct statx extended;
    if (statx(AT_FDCWD, native.constData(), AT_STATX_SYNC_AS_STAT, STATX_BTIME | STATX_MTIME,
              &extended) == 0) {
        // Many Linux file systems keep no birth time.
        if ((extended.stx_mask & STATX_BTIME) != 0) {
            return localTime(extended.stx_btime.tv_sec, extended.stx_btime.tv_nsec);
        }
        if ((extended.stx_mask & STATX_MTIME) != 0) {
            return localTime(extended.stx_mtime.tv_sec, extended.stx_mtime.tv_nsec);
        }
    }
#endif
    // Kernels and sandboxes without statx keep the plain call.
    struct stat info;
    if (stat(native.constData(), &info) != 0) {
        return {};
    }
    return localTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

#else

QDateTime CreationDates::dateCreated(const QString& path) const {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        return {};
    }
    // Some file systems keep no birth time.
    const QDateTime born = info.birthTime();
    return born.isValid() ? born.toLocalTime() : info.lastModified().toLocalTime();
}

#endif

}  // namespace quorvane
