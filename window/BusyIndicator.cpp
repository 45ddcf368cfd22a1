#include "window/BusyIndicator.h"

#include "platform/EventLoop.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace quorvane {

namespace {

// The strip is a tab stop: a screen reader that lands on it tells whether a count runs,
// which the moving block shows only to the eye.
const QString kRunning = QStringLiteral("A count is running");
const QString kIdle = QStringLiteral("No count is running");

}  // namespace

BusyIndicator::BusyIndicator(QWidget* picstatus, QLabel* lblstatus, QTimer* Timer1,
                             float twipsPerPixel, QObject* parent)
    : QObject(parent),
      picstatus_(picstatus),
      lblstatus_(lblstatus),
      Timer1_(Timer1),
      twipsPerPixel_(twipsPerPixel) {
    Timer1_->setInterval(kIntervalMs);
    connect(Timer1_, &QTimer::timeout, this, &BusyIndicator::Timer1_Timer);
    picstatus_->setAccessibleDescription(kIdle);
}

void BusyIndicator::startstatus() {
    statuscountplus = 0;
    statuscountneg = 0;
    Timer1_->start();
    lblstatus_->setVisible(true);
    picstatus_->setAccessibleDescription(kRunning);
}

void BusyIndicator::endstatus() {
    Timer1_->stop();
    lblstatus_->setVisible(false);
    picstatus_->setAccessibleDescription(kIdle);
}

void BusyIndicator::Timer1_Timer() {
    // The yield below may dispatch another tick (a timer event queued behind a count job's
    // yield, or a direct call); letting it run would advance the sweep twice for one step.
    if (inTick_) {
        return;
    }
    inTick_ = true;

    const float stepWidth = static_cast<float>(picstatus_->width()) * twipsPerPixel_ / 100.0f;

    EventLoop::yield();

    short n = 0;
    if (statuscountneg > 0) {
        --statuscountneg;
        n = statuscountneg;
    } else if (statuscountplus >= 101) {
        statuscountplus = 0;
        statuscountneg = 100;
        n = 100;
    } else {
        ++statuscountplus;
        n = statuscountplus;
    }

    // Read after the yield: the layout may have changed while events ran.
    const float picstatusLeft = static_cast<float>(picstatus_->x()) * twipsPerPixel_;
    const float lblstatusWidth = static_cast<float>(lblstatus_->width()) * twipsPerPixel_;
    lblstatusLeft_ = picstatusLeft + static_cast<float>(n) * stepWidth - lblstatusWidth;
    lblstatus_->move(qRound(lblstatusLeft_ / twipsPerPixel_), lblstatus_->y());

    inTick_ = false;
}

}  // namespace quorvane
