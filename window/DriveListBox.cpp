#include "DriveListBox.h"

#include <QSignalBlocker>

#include "DriveList.h"
#include "FileName.h"

namespace quorvane {

DriveListBox::DriveListBox(const DriveList& drives, QWidget* parent)
    : QComboBox(parent), drives_(drives) {
    const QSignalBlocker quiet(this);
    for (const QString& drive : drives_.drives()) {
        addItem(FileName::display(drive), drive);
    }
    setCurrentIndex(-1);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit driveChanged(); });
}

QString DriveListBox::drive() const {
    return currentIndex() < 0 ? QString() : currentData().toString();
}

int DriveListBox::indexOfDriveOf(const QString& path) const {
    const QString drive = drives_.driveOf(path);
    return drive.isEmpty() ? -1 : findData(drive);
}

bool DriveListBox::setDrive(const QString& path) {
    const int index = indexOfDriveOf(path);
    if (index < 0) {
        return false;
    }
    setCurrentIndex(index);  // raises nothing when it is already selected
    return true;
}

void DriveListBox::setDriveQuietly(const QString& path) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(indexOfDriveOf(path));
}

}  // namespace quorvane
