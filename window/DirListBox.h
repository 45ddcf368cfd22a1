#pragma once

#include <QListWidget>

namespace quorvane {

// The folder list: the open folder's ancestors from the root down, the open folder
// (marked), then its subfolders. A double-click or Enter on an entry opens it.
// pathChanged() is raised whenever another folder opens, by the user or by the program.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    // The open folder's full path, in FileName's form (names keep the bytes they hold);
    // empty before the first folder opens. The entries show the names as FileName::display().
    QString path() const { return path_; }
    // Opens a folder. False, and nothing changes, when it is not an existing folder.
    bool setPath(const QString& path);

    // The full path an entry stands for.
    static QString pathOf(const QListWidgetItem* item);
    // The open folder's entry.
    QListWidgetItem* openItem() const { return openItem_; }

    static QString normalisedPath(const QString& path);

signals:
    void pathChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open(QListWidgetItem* item);
    void rebuild();

    QString path_;
    QListWidgetItem* openItem_ = nullptr;
};

}  // namespace quorvane
