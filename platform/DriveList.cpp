#include "platform/DriveList.h"

#include "platform/DriveListOs.h"
#include "platform/DriveWatcher.h"
#include "platform/FileName.h"
#include "platform/FolderListing.h"
#include "platform/Paths.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace quorvane {

namespace {

// Absolute, forward slashes, no "." or ".." parts, no trailing slash except on a root.
QString comparable(const QString& path) {
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath());
}

// Component-wise: "/home" holds "/home/ann" but not "/homework".
bool holds(const QString& drive, const QString& path) {
    if (!path.startsWith(drive, DriveListOs::pathCase())) {
        return false;
    }
    return path.size() == drive.size() || drive.endsWith(QLatin1Char('/')) ||
           path.at(drive.size()) == QLatin1Char('/');
}

bool sameDrive(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() &&
           QString::compare(comparable(a), comparable(b), DriveListOs::pathCase()) == 0;
}

bool atOrUnder(const QString& path, QLatin1String folder) {
    return path == folder || (path.startsWith(folder) && path.size() > folder.size() &&
                              path.at(folder.size()) == QLatin1Char('/'));
}

// The kernel writes blanks, tabs, newlines and backslashes in mount points as "\ooo".
QByteArray unescapeMountPoint(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            out.append(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                         (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

// File systems that hold no user files: kernel interfaces, automount triggers, desktop
// helper mounts, the layered roots of containers.
bool holdsNoFiles(const QByteArray& type, const QString& point) {
    static const QSet<QByteArray> pseudoTypes = {
        "proc",   "sysfs",    "cgroup",    "cgroup2",     "devpts",         "devtmpfs",
        "mqueue", "debugfs",  "tracefs",   "securityfs",  "pstore",         "bpf",
        "autofs", "configfs", "fusectl",   "hugetlbfs",   "binfmt_misc",    "rpc_pipefs",
        "nsfs",   "efivarfs", "selinuxfs", "fuse.portal", "fuse.gvfsd-fuse"};
    if (pseudoTypes.contains(type)) {
        return true;
    }
    // Whatever is mounted inside the kernel's own folders is part of them, and what is
    // mounted in /run is the system's runtime state, except the removable media that
    // desktops mount under /run/media.
    if (atOrUnder(point, QLatin1String("/proc")) || atOrUnder(point, QLatin1String("/sys")) ||
        atOrUnder(point, QLatin1String("/dev"))) {
        return true;
    }
    if (atOrUnder(point, QLatin1String("/run")) && !atOrUnder(point, QLatin1String("/run/media"))) {
        return true;
    }
    // A container engine mounts each running container's layered root on the host; the
    // files there are the container's, reached through the container. The root itself may
    // be such a layer, when the program runs in a container, and stays.
    if ((type == "overlay" || type == "fuse.fuse-overlayfs") && point != QLatin1String("/")) {
        return true;
    }
    // Each installed snap package is a read-only image of its own.
    return type == "squashfs" && atOrUnder(point, QLatin1String("/snap"));
}

}  // namespace

QStringList parseMountTable(const QByteArray& mounts,
                            const std::function<bool(const QString&)>& isFolder) {
    QStringList points;
    QSet<QString> seen;
    for (const QByteArray& line : mounts.split('\n')) {
        // device, mount point, type, options, dump, pass
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) {
            continue;
        }
        const QString point = FileName::fromNative(unescapeMountPoint(fields[1]));
        if (!point.startsWith(QLatin1Char('/')) || holdsNoFiles(fields[2], point) ||
            seen.contains(point) || (isFolder && !isFolder(point))) {
            continue;
        }
        seen.insert(point);
        points.append(point);
    }
    std::sort(points.begin(), points.end(), [](const QString& a, const QString& b) {
        const bool aRoot = a == QLatin1String("/");
        const bool bRoot = b == QLatin1String("/");
        if (aRoot != bRoot) {
            return aRoot;
        }
        return FolderListing::lessThan(a, b);
    });
    return points;
}

QString DriveList::driveOf(const QString& path) const {
    if (path.isEmpty()) {
        return {};
    }
    const QString target = comparable(path);
    QString best;
    qsizetype bestLength = -1;
    for (const QString& drive : drives()) {
        const QString root = comparable(drive);
        if (root.size() > bestLength && holds(root, target)) {
            best = drive;
            bestLength = root.size();
        }
    }
    return best;
}

std::unique_ptr<DriveWatcher> DriveList::watch() const {
    return nullptr;
}

QString DriveList::currentFolderOf(const QString& drive) const {
    const QString kept = DriveListOs::keptCurrentFolder(drive);
    if (!kept.isEmpty()) {
        return kept;
    }
    const QString current = Paths::currentFolder();
    return sameDrive(driveOf(current), drive) ? QDir::toNativeSeparators(current) : drive;
}

}  // namespace quorvane
