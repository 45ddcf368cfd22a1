#include "platform/DriveWatcher.h"

namespace quorvane {

// Windows tells of new drive letters through a window message (WM_DEVICECHANGE) that this
// program does not ask for yet: the letters stay as first read, and notifyChanged() is the
// only change there is.
struct DriveWatcher::Source {};

DriveWatcher::DriveWatcher(const QString&, QObject* parent) : QObject(parent) {}

DriveWatcher::~DriveWatcher() = default;

void DriveWatcher::notifyChanged() {
    emit changed();
}

}  // namespace quorvane
