#pragma once

#include <QListView>
#include <QStringList>

#include "platform/FolderListingNames.h"

namespace quorvane {

// The file list: the files of one folder that a pattern selects, in the order in which a
// count walks them. Setting the folder lists it at once; a new pattern takes effect at
// the next listing (a folder change or refresh()). A folder that cannot be read lists
// nothing.
class FileListBox : public QListView {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    QString path() const { return path_; }
    void setPath(const QString& folder);

    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern) { pattern_ = pattern; }

    // Reads the folder again. A folder of many thousand files is read on another thread
    // while the window goes on handling its events; the list is up to date on return.
    void refresh();

    // The names as listed, in list order (undecodable bytes kept; see FileName).
    const NameList& entries() const { return names_; }
    QStringList names() const { return names_.toStringList(); }
    // The rows as shown.
    int count() const;
    QString textAt(int row) const;

signals:
    // After every listing, with path() and pattern() as they were used.
    void refreshed();

private:
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    NameList names_;
    class Rows;
    Rows* rows_ = nullptr;
    quint64 listing_ = 0;  // which refresh() is the latest
};

}  // namespace quorvane
