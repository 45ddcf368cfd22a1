#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/FolderListingNames.h"

namespace quorvane {

// A subfolder whose files could not be listed, and the system's reason.
struct FolderProblem {
    QString path;  // from the listed folder, "/" between folders
    QString reason;
};

struct FolderList {
    bool ok = false;  // false when the folder could not be read
    NameList names;   // file names only, no folder; with listRecursive paths from the folder
    QString error;    // the system's reason when !ok
    QList<FolderProblem> unreadable;  // with listRecursive, in lessThan() order
};

// The files of one folder that a file pattern selects, in a fixed order: regular files
// only (links to them too), hidden ones left out; "*" and "?" wildcards, letters compared
// without regard to case, several patterns separated by ";" (blanks around each ignored),
// a pattern ending in ".*" also matching names without that extension, so "*.*" matches
// every name; an empty pattern matches nothing. Sorted by name without regard to case
// (ties by exact name), the same order on every machine.
class FolderListing {
public:
    static FolderList list(const QString& folder, const QString& pattern);
    // The same for the folder and every folder below it: the pattern is matched against
    // the file names, and each file is named by its path from the folder ("/" between
    // folders), the whole path sorted by lessThan(). Hidden folders are left out, and links
    // to folders are not followed, so no folder is listed twice and no walk loops. A
    // subfolder that cannot be read is named in `unreadable` and the listing goes on; only
    // the folder itself failing makes it not ok.
    static FolderList listRecursive(const QString& folder, const QString& pattern);
    static bool matches(const QString& name, const QString& pattern);
    static bool lessThan(const QString& a, const QString& b);
    // Puts names in lessThan's order, faster than sorting with it.
    static void sort(QStringList& names);

    // The folders directly inside a folder (links to folders too), hidden ones and "." and
    // ".." left out, in lessThan() order; empty when the folder cannot be read. Names and
    // the folder are in FileName's form.
    static QStringList subfolders(const QString& folder);
    // Whether the path names an existing folder, following links.
    static bool isFolder(const QString& path);
};

}  // namespace quorvane
