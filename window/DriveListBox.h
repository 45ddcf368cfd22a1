#pragma once

#include <QComboBox>

#include <memory>

namespace quorvane {

class DriveList;
class DriveWatcher;

// The drive selector. Its items are the drives of a DriveList, read again whenever the
// list's watcher tells of a change; driveChanged() is raised whenever another drive
// becomes selected, by the user or by the program, and never when the selected drive is
// chosen again.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(const DriveList& drives, QWidget* parent = nullptr);
    ~DriveListBox() override;

    // The selected drive; empty when none is.
    QString drive() const;
    // Selects the drive on which the path lies. False, and nothing changes, when no listed
    // drive holds it.
    bool setDrive(const QString& path);
    // Selects without raising driveChanged(); for the window's initial state.
    void setDriveQuietly(const QString& path);
    // Reads the drives again. The selected drive stays selected while it is listed; when
    // it is gone, the drive that now holds its folder is selected (driveChanged()).
    void refresh();

signals:
    void driveChanged();

private:
    int indexOfDriveOf(const QString& path) const;
    QStringList listed() const;

    const DriveList& drives_;
    std::unique_ptr<DriveWatcher> watcher_;
};

}  // namespace quorvane
