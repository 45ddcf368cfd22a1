#include "FileListBox.h"

#include "FileName.h"
#include "FolderListing.h"

namespace quorvane {

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    // Folders with many thousand files must list quickly.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setPath(const QString& folder) {
    path_ = folder;
    refresh();
}

void FileListBox::refresh() {
    const FolderList listing = FolderListing::list(path_, pattern_);
    names_ = listing.ok ? listing.names : QStringList();
    setUpdatesEnabled(false);
    clear();
    // names_ keeps the bytes the count opens the files by; the rows show them readably.
    QStringList shown;
    shown.reserve(names_.size());
    for (const QString& name : names_) {
        shown.append(FileName::display(name));
    }
    addItems(shown);
    setUpdatesEnabled(true);
    emit refreshed();
}

}  // namespace quorvane
