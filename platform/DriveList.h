#pragma once

#include <QString>
#include <QStringList>

namespace quorvane {

// What Drive1 lists. On Windows the drive letters ("c:\"); on Linux the mount points of
// the file systems that hold real files, the root first.
class DriveList {
public:
    virtual ~DriveList() = default;

    virtual QStringList drives() const = 0;
    // The drive on which the path lies (the longest mount point containing it); empty if none.
    virtual QString driveOf(const QString& path) const;
    // The folder a drive opens in: the program's current folder when it lies on that drive,
    // else the drive's root.
    virtual QString currentFolderOf(const QString& drive) const;
    // Whether the drive can be opened now.
    virtual bool isReady(const QString& drive) const;
};

// The real drives of this machine.
class MountedDrives : public DriveList {
public:
    QStringList drives() const override;
};

// Parses a Linux mount table (the text of /proc/self/mounts) into mount points,
// root first, then the others by mount point; pseudo file systems left out.
QStringList parseMountTable(const QByteArray& mounts);

}  // namespace quorvane
