#pragma once

#include <QObject>

class QLabel;
class QTimer;
class QWidget;

namespace quorvane {

// The "Active" block that sweeps back and forth in its strip while a count runs.
// Positions are kept in twips, as single-precision numbers, and shown in pixels.
class BusyIndicator : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 10;

    // picstatus: the strip; lblstatus: the block inside it; Timer1: the 10 ms timer.
    // twipsPerPixel: 15 at 96 dpi, less on denser screens.
    // The constructor sets Timer1's interval and connects its timeout to Timer1_Timer, so
    // the owner only creates the timer and must not connect it again.
    BusyIndicator(QWidget* picstatus, QLabel* lblstatus, QTimer* Timer1, float twipsPerPixel,
                  QObject* parent = nullptr);

    void startstatus();
    void endstatus();
    void Timer1_Timer();

    // The label's Left in twips, as last set by a tick (0 before the first).
    float lblstatusLeft() const { return lblstatusLeft_; }

    short statuscountplus = 0;
    short statuscountneg = 0;

private:
    QWidget* picstatus_;
    QLabel* lblstatus_;
    QTimer* Timer1_;
    float twipsPerPixel_;
    float lblstatusLeft_ = 0.0f;
    bool inTick_ = false;
};

}  // namespace quorvane
