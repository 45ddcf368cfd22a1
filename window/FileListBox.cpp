#include "window/FileListBox.h"

#include <QAbstractListModel>
#include <QPointer>

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

// The rows over the listed names: a row's text is made when the view asks for it, so a
// folder of many thousand files costs no second list of texts, and a new listing is one
// reset of the view.
class FileListBox::Rows : public QAbstractListModel {
public:
    explicit Rows(QObject* parent) : QAbstractListModel(parent) {}

    void setNames(const NameList& names) {
        beginResetModel();
        names_ = names;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(names_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= names_.size() ||
            (role != Qt::DisplayRole && role != Qt::EditRole)) {
            return {};
        }
        // The names keep the bytes the count opens the files by; the rows show them
        // readably.
        return FileName::display(names_.at(index.row()));
    }

private:
    NameList names_;
};

FileListBox::FileListBox(QWidget* parent) : QListView(parent), rows_(new Rows(this)) {
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
    return rows_->rowCount({});
}

QString FileListBox::textAt(int row) const {
    return rows_->index(row).data().toString();
}

void FileListBox::refresh() {
    const quint64 listing = ++listing_;
    std::future<NameList> pending =
        std::async(std::launch::async, [folder = path_, pattern = pattern_] {
            FolderList result = FolderListing::list(folder, pattern);
            return result.ok ? std::move(result.names) : NameList();
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
    NameList listed = pending.get();
    // The same names as shown already (a count that only rewrote its report): the rows
    // stay, and the view is neither reset nor painted again.
    if (!(listed == names_)) {
        names_ = std::move(listed);
        rows_->setNames(names_);
    }
    emit refreshed();
}

}  // namespace quorvane
