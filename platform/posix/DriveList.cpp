#include "DriveList.h"

#include <QFile>

#include <dirent.h>

#include "DriveListOs.h"
#include "FileName.h"

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

QStringList MountedDrives::drives() const {
    QStringList result;
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (table.open(QIODevice::ReadOnly)) {
        result = parseMountTable(table.readAll());
    }
    if (result.isEmpty()) {
        result.append(QStringLiteral("/"));
    }
    return result;
}

}  // namespace quorvane
