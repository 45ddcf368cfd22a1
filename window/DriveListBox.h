#pragma once

#include <QComboBox>

namespace quorvane {

class DriveList;

// The drive selector. Its items are the drives of a DriveList; driveChanged() is raised
// whenever another drive becomes selected, by the user or by the program, and never when
// the selected drive is chosen again.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(const DriveList& drives, QWidget* parent = nullptr);

    // The selected drive; empty when none is.
    QString drive() const;
    // Selects the drive on which the path lies. False, and nothing changes, when no listed
    // drive holds it.
    bool setDrive(const QString& path);
    // Selects without raising driveChanged(); for the window's initial state.
    void setDriveQuietly(const QString& path);

signals:
    void driveChanged();

private:
    int indexOfDriveOf(const QString& path) const;

    const DriveList& drives_;
};

}  // namespace quorvane
