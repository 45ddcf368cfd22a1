#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

namespace quorvane {

// A monotonic clock in nanoseconds. Work that must hand control back on time asks it, so
// that tests can put a clock in its place that advances exactly as they say.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowNs() const = 0;
};

class SteadyClock : public Clock {
public:
    SteadyClock() { timer_.start(); }
    qint64 nowNs() const override { return timer_.nsecsElapsed(); }

    // The one shared instance, for code that was given no clock.
    static const Clock& instance();

private:
    QElapsedTimer timer_;
};

}  // namespace quorvane
