// Placeholder; being implemented.
#include "DriveList.h"
namespace quorvane {
QString DriveList::driveOf(const QString&) const { return {}; }
QString DriveList::currentFolderOf(const QString& d) const { return d; }
bool DriveList::isReady(const QString&) const { return true; }
QStringList MountedDrives::drives() const { return {"/"}; }
QStringList parseMountTable(const QByteArray&) { return {}; }
}
