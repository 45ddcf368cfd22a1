#pragma once

#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace quorvane::test {

// Waits until the condition holds, looking again every few milliseconds; false once the
// deadline has passed without it. For what another process does in its own time, where
// there is nothing to be told by: a file it leaves behind, a state /proc shows. The pause
// between looks leaves the CPU to the process being waited for.
inline bool eventually(const std::function<bool()>& condition, int deadlineMs = 10000) {
    const QDeadlineTimer deadline(deadlineMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(2);
    }
    return true;
}

}  // namespace quorvane::test
