#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

namespace quorvane {

QString Paths::normalise(const QString& path) {
    if (path.trimmed().isEmpty()) {
        return {};
    }
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath()));
}

QString Paths::join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'\\') || folder.endsWith(u'/')) {
        return folder + name;
    }
    return folder + u'\\' + name;
}

QString Paths::defaultDrive() {
    return QStringLiteral("c:\\");
}

QString Paths::currentFolder() {
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString Paths::resolveFolder(const QString& path, QString& error) {
    const QFileInfo info(path);
    if (!info.isDir()) {
        error = info.exists() ? QStringLiteral("The directory name is invalid.")
                              : QStringLiteral("The system cannot find the path specified.");
        return {};
    }
    return QDir::toNativeSeparators(info.canonicalFilePath());
}

}  // namespace quorvane
