#include "platform/DriveList.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <iterator>
#include <string>

#include "platform/DriveListOs.h"
#include "platform/DriveWatcher.h"

namespace quorvane {

Qt::CaseSensitivity DriveListOs::pathCase() {
    return Qt::CaseInsensitive;
}

QString DriveListOs::keptCurrentFolder(const QString& drive) {
    // Windows keeps a current folder for every drive letter.
    if (drive.size() >= 2 && drive.size() <= 3 && drive.at(1) == QLatin1Char(':')) {
        const std::wstring letter = drive.left(2).toStdWString();
        wchar_t buffer[MAX_PATH * 4];
        const DWORD length =
            GetFullPathNameW(letter.c_str(), DWORD(std::size(buffer)), buffer, nullptr);
        if (length > 0 && length < std::size(buffer)) {
            return QString::fromWCharArray(buffer, int(length));
        }
        return drive;
    }
    return {};
}

bool DriveList::isReady(const QString& drive) const {
    if (drive.isEmpty()) {
        return false;
    }
    // A removable drive without a medium has no root folder.
    return QFileInfo(drive).isDir();
}

MountedDrives::MountedDrives(QString) {}

QStringList MountedDrives::drives() const {
    QStringList result;
    // Shown as the lower-case letter with a backslash: "c:\".
    for (const QFileInfo& root : QDir::drives()) {
        result.append(QDir::toNativeSeparators(root.absoluteFilePath()).toLower());
    }
    return result;
}

std::unique_ptr<DriveWatcher> MountedDrives::watch() const {
    return std::make_unique<DriveWatcher>();
}

}  // namespace quorvane
