#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include "platform/FolderListing.h"

namespace quorvane {

// The half of FolderListing that reads folders, one file per system in posix/ and win/.
// Matching names and ordering them are the same everywhere and stay in FolderListing.cpp.
// Private to platform/.
class FolderListingOs {
public:
    // Decides which names a listing keeps; asked once for each candidate file.
    class NameFilter {
    public:
        virtual bool accepts(QStringView name) const = 0;

    protected:
        ~NameFilter() = default;
    };

    // The regular files of a folder (links to them too) that the filter accepts, hidden
    // ones left out, in the order the folder hands them over.
    static FolderList readFiles(const QString& folder, const NameFilter& filter);
    // The folders directly inside a folder (links to folders too), hidden ones and "." and
    // ".." left out, unsorted; empty when the folder cannot be read.
    static QStringList readSubfolders(const QString& folder);
    // The folders directly inside a folder that are not links to one, hidden ones and "."
    // and ".." left out, unsorted; empty when the folder cannot be read. A walk through
    // them never comes back to where it was.
    static QStringList readOwnSubfolders(const QString& folder);
    // Whether the path names an existing folder, following links.
    static bool isFolder(const QString& path);
};

}  // namespace quorvane
