#include "platform/CreationDates.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/FileName.h"

namespace quorvane {

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

}  // namespace quorvane
