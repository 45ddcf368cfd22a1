#include "window/DriveListBox.h"

#include <QSignalBlocker>

#include "platform/DriveList.h"
#include "platform/DriveWatcher.h"
#include "platform/FileName.h"

namespace quorvane {

DriveListBox::DriveListBox(const DriveList& drives, QWidget* parent)
    : QComboBox(parent), drives_(drives), watcher_(drives.watch()) {
    const QSignalBlocker quiet(this);
    for (const QString& drive : drives_.drives()) {
        addItem(FileName::display(drive), drive);
    }
    setCurrentIndex(-1);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit driveChanged(); });
    if (watcher_) {
        connect(watcher_.get(), &DriveWatcher::changed, this, &DriveListBox::refresh);
    }
}

DriveListBox::~DriveListBox() = default;

QString DriveListBox::drive() const {
    return currentIndex() < 0 ? QString() : currentData().toString();
}

QStringList DriveListBox::listed() const {
    QStringList shown;
    for (int i = 0; i < count(); ++i) {
        shown.append(itemData(i).toString());
    }
    return shown;
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

void DriveListBox::refresh() {
    const QStringList now = drives_.drives();
    // Mounts come and go all the time on a busy system (containers, snaps) without a
    // change to what is listed here; an unchanged list is left alone, open or not.
    if (now == listed()) {
        return;
    }
    const QString selected = drive();
    {
        const QSignalBlocker quiet(this);
        clear();
        for (const QString& drive : now) {
            addItem(FileName::display(drive), drive);
        }
        setCurrentIndex(findData(selected));
    }
    if (!selected.isEmpty() && currentIndex() < 0) {
        setDrive(selected);
    }
}

}  // namespace quorvane
