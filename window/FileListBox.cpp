#include "FileListBox.h"

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
    addItems(names_);
    setUpdatesEnabled(true);
    emit refreshed();
}

}  // namespace quorvane
