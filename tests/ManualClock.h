#pragma once

#include <QtGlobal>

#include "platform/Clock.h"

namespace quorvane::test {

// A clock that stands still until the test moves it, so that what waits for time to pass
// is told exactly when it has.
class ManualClock : public Clock {
public:
    qint64 nowNs() const override { return nowNs_; }
    void advanceMs(qint64 ms) { nowNs_ += ms * 1'000'000; }

private:
    qint64 nowNs_ = 0;
};

}  // namespace quorvane::test
