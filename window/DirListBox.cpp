#include "DirListBox.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyledItemDelegate>

#include <algorithm>

#include "FolderListing.h"

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
    if (path.trimmed().isEmpty()) {
        return {};
    }
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath()));
}

QString DirListBox::pathOf(const QListWidgetItem* item) {
    return item == nullptr ? QString() : item->data(kPathRole).toString();
}

bool DirListBox::setPath(const QString& path) {
    const QString target = normalisedPath(path);
    if (target.isEmpty() || !QFileInfo(target).isDir()) {
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

    QStringList ancestors;
    QDir dir(QDir::fromNativeSeparators(path_));
    ancestors.prepend(dir.absolutePath());
    while (!dir.isRoot() && dir.cdUp()) {
        ancestors.prepend(dir.absolutePath());
    }

    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int level = 0;
    for (const QString& ancestor : ancestors) {
        const QDir at(ancestor);
        const QString text = at.isRoot() ? QDir::toNativeSeparators(ancestor) : at.dirName();
        auto* item = new QListWidgetItem(openIcon, text, this);
        item->setData(kPathRole, QDir::toNativeSeparators(ancestor));
        item->setData(kLevelRole, level++);
        openItem_ = item;
    }
    QFont bold = font();
    bold.setBold(true);
    openItem_->setFont(bold);

    QStringList subfolders =
        QDir(QDir::fromNativeSeparators(path_)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(subfolders.begin(), subfolders.end(), &FolderListing::lessThan);
    const QDir open(QDir::fromNativeSeparators(path_));
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closedIcon, name, this);
        item->setData(kPathRole, QDir::toNativeSeparators(open.absoluteFilePath(name)));
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
