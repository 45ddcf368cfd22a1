#include "FolderListing.h"

#include <QDir>
#include <QFileInfo>

#include "FileName.h"

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <cerrno>
#endif

namespace quorvane {

namespace {

// Names and patterns are matched as sequences of case-folded code points, so that "?" takes
// one character even outside the Basic Multilingual Plane and "É" matches "é".
void foldInto(QStringView text, std::u32string& out) {
    out.clear();
    out.reserve(static_cast<size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out.push_back(QChar::toCaseFolded(c));
    }
}

// "*" takes any run of characters, "?" exactly one. Backtracking only to the last star
// keeps this linear in practice and never worse than name length times pattern length.
bool wildcardMatch(const std::u32string& pattern, const std::u32string& name) {
    constexpr size_t none = std::u32string::npos;
    size_t p = 0;
    size_t n = 0;
    size_t star = none;
    size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            star = p++;
            resume = n;
        } else if (star != none) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

// A ";"-separated pattern list compiled once per listing. An element ending in ".*" also
// matches names without that extension, as "*.*" has always matched every name, dot or not.
class Pattern {
public:
    explicit Pattern(const QString& text) {
        std::u32string folded;
        for (const QString& part : text.split(QLatin1Char(';'))) {
            const QString element = part.trimmed();
            if (element.isEmpty()) {
                continue;
            }
            foldInto(element, folded);
            alternatives_.push_back(folded);
            if (element.endsWith(QLatin1String(".*"))) {
                alternatives_.push_back(folded.substr(0, folded.size() - 2));
            }
        }
    }

    bool isEmpty() const { return alternatives_.empty(); }

    bool matches(QStringView name) const {
        foldInto(name, scratch_);
        return std::any_of(alternatives_.begin(), alternatives_.end(),
                           [this](const std::u32string& p) { return wildcardMatch(p, scratch_); });
    }

private:
    std::vector<std::u32string> alternatives_;
    mutable std::u32string scratch_;
};

#ifdef _WIN32

FolderList readFolder(const QString& folder, const Pattern& pattern) {
    FolderList result;
    const QString query =
        QDir::toNativeSeparators(QDir(folder).absoluteFilePath(QStringLiteral("*")));
    WIN32_FIND_DATAW data;
    HANDLE handle =
        FindFirstFileExW(reinterpret_cast<LPCWSTR>(query.utf16()), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
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
        if (pattern.matches(name)) {
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

QStringList readSubfolders(const QString& folder) {
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

bool isFolderPath(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

#else

bool isRegularFile(int folderFd, const char* name) {
    struct stat info;
    return fstatat(folderFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

bool isFolderAt(int folderFd, const char* name) {
    struct stat info;
    return fstatat(folderFd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

// Qt's own folder classes would pass the names through the system encoding and lose held
// bytes, so the folder is read here.
QStringList readSubfolders(const QString& folder) {
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
        if (type == DT_DIR ||
            ((type == DT_LNK || type == DT_UNKNOWN) && isFolderAt(fd, entry->d_name))) {
            names.append(FileName::fromNative(
                QByteArray::fromRawData(entry->d_name, qstrlen(entry->d_name))));
        }
    }
    closedir(dir);
    return names;
}

bool isFolderPath(const QString& path) {
    struct stat info;
    return !path.isEmpty() && stat(FileName::toNative(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

FolderList readFolder(const QString& folder, const Pattern& pattern) {
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
        if (!pattern.matches(name)) {
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

#endif

}  // namespace

FolderList FolderListing::list(const QString& folder, const QString& pattern) {
    // The folder is read even for an empty pattern, so that a folder that cannot be read is
    // reported as such and not as an empty one.
    FolderList result = readFolder(folder, Pattern(pattern));
    std::sort(result.names.begin(), result.names.end(), &FolderListing::lessThan);
    return result;
}

bool FolderListing::matches(const QString& name, const QString& pattern) {
    return Pattern(pattern).matches(name);
}

QStringList FolderListing::subfolders(const QString& folder) {
    QStringList names = readSubfolders(folder);
    std::sort(names.begin(), names.end(), &FolderListing::lessThan);
    return names;
}

bool FolderListing::isFolder(const QString& path) {
    return isFolderPath(path);
}

bool FolderListing::lessThan(const QString& a, const QString& b) {
    const int order = QString::compare(a, b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

}  // namespace quorvane
