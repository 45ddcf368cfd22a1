#include "window/DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyledItemDelegate>

#include "platform/FileName.h"
#include "platform/FolderListing.h"
#include "platform/Paths.h"

namespace quorvane {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;

// Indents every entry by its depth below the root, so the list reads as a path.
class LevelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + indentOf(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indentOf(index), 0);
    }

private:
    static int indentOf(const QModelIndex& index) { return 8 * index.data(kLevelRole).toInt(); }
};

}  // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new LevelDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::open);
}

QString DirListBox::normalisedPath(const QString& path) {
    return Paths::normalise(path);
}

QString DirListBox::pathOf(const QListWidgetItem* item) {
    return item == nullptr ? QString() : item->data(kPathRole).toString();
}

bool DirListBox::setPath(const QString& path) {
    const QString target = normalisedPath(path);
    if (target.isEmpty() || !FolderListing::isFolder(target)) {
        return false;
    }
    if (target == path_) {
        return true;
    }
    path_ = target;
    rebuild();
    emit pathChanged();
    return true;
}

void DirListBox::rebuild() {
    clear();
    openItem_ = nullptr;

    // Worked out as text, as QDir::cdUp() would look for each folder by its encoded name.
    QStringList ancestors;
    QString folder = QDir::fromNativeSeparators(path_);
    ancestors.prepend(folder);
    while (!QDir(folder).isRoot()) {
        const QString up = QFileInfo(folder).absolutePath();
        if (up == folder) {
            break;
        }
        folder = up;
        ancestors.prepend(folder);
    }

    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int level = 0;
    for (const QString& ancestor : ancestors) {
        const QDir at(ancestor);
        const QString name = at.isRoot() ? QDir::toNativeSeparators(ancestor) : at.dirName();
        auto* item = new QListWidgetItem(openIcon, FileName::display(name), this);
        item->setData(kPathRole, QDir::toNativeSeparators(ancestor));
        item->setData(kLevelRole, level++);
        openItem_ = item;
    }
    QFont bold = font();
    bold.setBold(true);
    openItem_->setFont(bold);

    const QDir open(QDir::fromNativeSeparators(path_));
    for (const QString& name : FolderListing::subfolders(path_)) {
        auto* item = new QListWidgetItem(closedIcon, FileName::display(name), this);
        item->setData(kPathRole, Paths::join(path_, name));
        item->setData(kLevelRole, level);
    }
    setCurrentItem(openItem_);
    scrollToItem(openItem_);
}

void DirListBox::open(QListWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    // A folder removed since the list was filled cannot open; show the list as it is now.
    if (!setPath(pathOf(item))) {
        rebuild();
    }
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        open(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace quorvane
