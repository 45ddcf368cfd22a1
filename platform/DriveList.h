#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace quorvane {

class DriveWatcher;

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
    // What tells when drives() may answer differently (a drive mounted or removed); null
    // where the list never changes.
    virtual std::unique_ptr<DriveWatcher> watch() const;
};

// The real drives of this machine.
class MountedDrives : public DriveList {
public:
    // mountTable: where Linux lists the mounts, /proc/self/mounts when empty; another
    // file stands in for it in tests. Windows has no such table and ignores it.
    explicit MountedDrives(QString mountTable = {});

    QStringList drives() const override;
    std::unique_ptr<DriveWatcher> watch() const override;

private:
    QString mountTable_;
};

// Parses a Linux mount table (the text of /proc/self/mounts) into mount points, root
// first, then the others by mount point. Left out: what holds no user files (kernel
// interfaces, runtime folders, container layers, snap images) and, when isFolder is
// given, every mount point it says is not a folder (a single file bound onto another).
QStringList parseMountTable(const QByteArray& mounts,
                            const std::function<bool(const QString&)>& isFolder = {});

}  // namespace quorvane
