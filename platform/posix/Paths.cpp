#include "platform/Paths.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/FileName.h"
#include "platform/SystemError.h"

namespace quorvane {

QString Paths::normalise(const QString& path) {
    if (path.trimmed().isEmpty()) {
        return {};
    }
    // Qt resolves a relative or unclean path through the system encoding, which would lose
    // the bytes a name holds; joining and cleaning text does not.
    const QString absolute = path.startsWith(u'/') ? path : join(currentFolder(), path);
    return QDir::cleanPath(absolute);
}

QString Paths::join(const QString& folder, const QString& name) {
    if (folder.isEmpty() || folder.endsWith(u'/')) {
        return folder + name;
    }
    return folder + u'/' + name;
}

QString Paths::defaultDrive() {
    return QStringLiteral("/");
}

QString Paths::currentFolder() {
    char* native = ::getcwd(nullptr, 0);
    if (native == nullptr) {
        return {};
    }
    const QString folder = FileName::fromNative(QByteArray(native));
    std::free(native);
    return folder;
}

QString Paths::resolveFolder(const QString& path, QString& error) {
    const QByteArray native = FileName::toNative(path);
    char resolved[PATH_MAX];
    struct stat info;
    if (native.isEmpty()) {
        error = SystemError::text(ENOENT);
    } else if (::realpath(native.constData(), resolved) == nullptr) {
        error = SystemError::text(errno);
    } else if (::stat(resolved, &info) != 0) {
        error = SystemError::text(errno);
    } else if (!S_ISDIR(info.st_mode)) {
        error = SystemError::text(ENOTDIR);
    } else {
        return FileName::fromNative(QByteArray(resolved));
    }
    return {};
}

}  // namespace quorvane
