#include "platform/DriveList.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/DriveListOs.h"
#include "platform/DriveWatcher.h"
#include "platform/FileName.h"

namespace quorvane {

Qt::CaseSensitivity DriveListOs::pathCase() {
    return Qt::CaseSensitive;
}

QString DriveListOs::keptCurrentFolder(const QString&) {
    return {};
}

bool DriveList::isReady(const QString& drive) const {
    if (drive.isEmpty()) {
        return false;
    }
    DIR* dir = opendir(FileName::toNative(drive).constData());
    if (dir == nullptr) {
        return false;
    }
    closedir(dir);
    return true;
}

MountedDrives::MountedDrives(QString mountTable)
    : mountTable_(mountTable.isEmpty() ? QStringLiteral("/proc/self/mounts")
                                       : std::move(mountTable)) {}

QStringList MountedDrives::drives() const {
    QStringList result;
    QFile table(mountTable_);
    if (table.open(QIODevice::ReadOnly)) {
        // Asked of what the kernel already knows: a network drive whose server is gone
        // must not hold up the window, nor an automount point start a mount. A mount point
        // that cannot be looked at is kept: whether it opens is asked when it is picked.
        result = parseMountTable(table.readAll(), [](const QString& point) {
            struct statx info {};
            return statx(AT_FDCWD, FileName::toNative(point).constData(),
                         AT_NO_AUTOMOUNT | AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_TYPE,
                         &info) != 0 ||
                   (info.stx_mask & STATX_TYPE) == 0 || S_ISDIR(info.stx_mode);
        });
    }
    if (result.isEmpty()) {
        result.append(QStringLiteral("/"));
    }
    return result;
}

std::unique_ptr<DriveWatcher> MountedDrives::watch() const {
    return std::make_unique<DriveWatcher>(mountTable_);
}

}  // namespace quorvane
