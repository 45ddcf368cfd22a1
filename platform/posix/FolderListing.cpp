#include "platform/FolderListingOs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/FileName.h"

namespace quorvane {

namespace {

bool isRegularFile(int folderFd, const char* name) {
    struct stat info;
    return fstatat(folderFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

bool isFolderAt(int folderFd, const char* name) {
    struct stat info;
    return fstatat(folderFd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

bool isOwnFolderAt(int folderFd, const char* name) {
    struct stat info;
    return fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// Qt's own folder classes would pass the names through the system encoding and lose held
// bytes, so folders are read here.

namespace {

// The folders in a folder, hidden ones left out; links to folders only when asked, since
// a walk down the tree must not follow them into loops.
QStringList readFolders(const QString& folder, bool followLinks) {
    QStringList names;
    DIR* dir = opendir(FileName::toNative(folder).constData());
    if (dir == nullptr) {
        return names;
    }
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        // Also skips "." and "..".
        if (entry->d_name[0] == '.') {
            continue;
        }
        const unsigned char type = entry->d_type;
        const bool folderHere =
            type == DT_DIR ||
            (followLinks ? (type == DT_LNK || type == DT_UNKNOWN) && isFolderAt(fd, entry->d_name)
                         : type == DT_UNKNOWN && isOwnFolderAt(fd, entry->d_name));
        if (folderHere) {
            names.append(FileName::fromNative(
                QByteArray::fromRawData(entry->d_name, qstrlen(entry->d_name))));
        }
    }
    closedir(dir);
    return names;
}

}  // namespace

QStringList FolderListingOs::readSubfolders(const QString& folder) {
    return readFolders(folder, true);
}

QStringList FolderListingOs::readOwnSubfolders(const QString& folder) {
    return readFolders(folder, false);
}

bool FolderListingOs::isFolder(const QString& path) {
    struct stat info;
    return !path.isEmpty() && stat(FileName::toNative(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

FolderList FolderListingOs::readFiles(const QString& folder, const NameFilter& filter) {
    FolderList result;
    DIR* dir = opendir(FileName::toNative(folder).constData());
    if (dir == nullptr) {
        result.error = qt_error_string(errno);
        return result;
    }
    const int fd = dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            break;
        }
        // Also skips "." and "..".
        if (entry->d_name[0] == '.') {
            continue;
        }
        const unsigned char type = entry->d_type;
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) {
            continue;
        }
        // Held bytes never equal a pattern letter; "?" and "*" take them like any other.
        const QString name =
            FileName::fromNative(QByteArray::fromRawData(entry->d_name, qstrlen(entry->d_name)));
        // Matching first spares a stat for every link the pattern leaves out anyway.
        if (!filter.accepts(name)) {
            continue;
        }
        if (type != DT_REG && !isRegularFile(fd, entry->d_name)) {
            continue;
        }
        result.names.append(name);
    }
    const int readError = errno;
    closedir(dir);
    if (readError != 0) {
        result.names.clear();
        result.error = qt_error_string(readError);
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace quorvane
