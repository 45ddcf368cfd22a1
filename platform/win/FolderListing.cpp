#include "platform/FolderListingOs.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace quorvane {

namespace {

// Starts a listing of every entry of `folder`; INVALID_HANDLE_VALUE when it cannot be read.
HANDLE findFirst(const QString& folder, WIN32_FIND_DATAW& data) {
    const QString query =
        QDir::toNativeSeparators(QDir(folder).absoluteFilePath(QStringLiteral("*")));
    return FindFirstFileExW(reinterpret_cast<LPCWSTR>(query.utf16()), FindExInfoBasic, &data,
                            FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
}

}  // namespace

FolderList FolderListingOs::readFiles(const QString& folder, const NameFilter& filter) {
    FolderList result;
    WIN32_FIND_DATAW data;
    HANDLE handle = findFirst(folder, data);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        result.ok = code == ERROR_FILE_NOT_FOUND;  // an empty drive root has no "." entry
        if (!result.ok) {
            result.error = qt_error_string(static_cast<int>(code));
        }
        return result;
    }
    // A link to a folder carries the folder attribute, a link to a file does not.
    const DWORD leftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DEVICE;
    do {
        if ((data.dwFileAttributes & leftOut) != 0) {
            continue;
        }
        const QString name = QString::fromWCharArray(data.cFileName);
        if (filter.accepts(name)) {
            result.names.append(name);
        }
    } while (FindNextFileW(handle, &data));
    const DWORD code = GetLastError();
    FindClose(handle);
    if (code != ERROR_NO_MORE_FILES) {
        result.names.clear();
        result.error = qt_error_string(static_cast<int>(code));
        return result;
    }
    result.ok = true;
    return result;
}

QStringList FolderListingOs::readSubfolders(const QString& folder) {
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QStringList FolderListingOs::readOwnSubfolders(const QString& folder) {
    QStringList names;
    WIN32_FIND_DATAW data;
    HANDLE handle = findFirst(folder, data);
    if (handle == INVALID_HANDLE_VALUE) {
        return names;
    }
    // Symbolic links and junctions to folders are reparse points.
    const DWORD leftOut = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_HIDDEN |
                          FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (data.dwFileAttributes & leftOut) != 0) {
            continue;
        }
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name != QLatin1String(".") && name != QLatin1String("..")) {
            names.append(name);
        }
    } while (FindNextFileW(handle, &data));
    FindClose(handle);
    return names;
}

bool FolderListingOs::isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

}  // namespace quorvane
