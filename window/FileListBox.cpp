#include "window/FileListBox.h"

#include <QPointer>
#include <QStringListModel>
#include <QThreadPool>

#include <chrono>
#include <future>
#include <utility>

#include "platform/EventLoop.h"
#include "platform/FileName.h"
#include "platform/FolderListing.h"

namespace quorvane {

namespace {

// A listing that takes longer than this lets the window handle its events meanwhile; a
// shorter one (nearly every folder) is over before anything else can happen.
constexpr std::chrono::milliseconds kListWithoutYielding{2};

}  // namespace

FileListBox::FileListBox(QWidget* parent)
    : QListView(parent), rows_(new QStringListModel(this)) {
    // Folders with many thousand files must list quickly.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModel(rows_);
}

void FileListBox::setPath(const QString& folder) {
    path_ = folder;
    refresh();
}

int FileListBox::count() const {
    return rows_->rowCount();
}

QString FileListBox::textAt(int row) const {
    return rows_->index(row).data().toString();
}

void FileListBox::refresh() {
    const quint64 listing = ++listing_;
    // The rows' texts are made on the listing thread too: for a large folder that is work
    // the window need not wait for.
    struct Listed {
        QStringList names;
        QStringList shown;
    };
    std::future<Listed> pending =
        std::async(std::launch::async, [folder = path_, pattern = pattern_] {
            const FolderList result = FolderListing::list(folder, pattern);
            Listed listed;
            if (result.ok) {
                listed.names = result.names;
            }
            // names keeps the bytes the count opens the files by; the rows show them
            // readably.
            listed.shown.reserve(listed.names.size());
            for (const QString& name : listed.names) {
                listed.shown.append(FileName::display(name));
            }
            return listed;
        });
    if (pending.wait_for(kListWithoutYielding) != std::future_status::ready) {
        const QPointer<FileListBox> alive(this);
        do {
            EventLoop::yield();
        } while (pending.wait_for(kListWithoutYielding) != std::future_status::ready);
        // Gone, or listed again meanwhile: the newer listing stands.
        if (alive.isNull() || listing != listing_) {
            return;
        }
    }
    Listed listed = pending.get();
    // The lists shown until now may hold a hundred thousand names; freeing them takes
    // longer than the window should go without handling its events, so another thread
    // does it.
    QStringList previousNames = std::exchange(names_, std::move(listed.names));
    QStringList previousRows = rows_->stringList();
    rows_->setStringList(listed.shown);
    QThreadPool::globalInstance()->start(
        [names = std::move(previousNames), rows = std::move(previousRows)]() mutable {
            names.clear();
            rows.clear();
        });
    emit refreshed();
}

}  // namespace quorvane
