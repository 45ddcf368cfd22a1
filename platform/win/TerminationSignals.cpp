#include "platform/TerminationSignals.h"

#include <QTimer>

#include <atomic>
#include <csignal>
#include <mutex>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace quorvane {
namespace {

std::atomic<int> firstCaught{0};

void record(int signal) {
    int none = 0;
    firstCaught.compare_exchange_strong(none, signal, std::memory_order_relaxed);
}

// Runs on a thread of its own that Windows starts for each console event.
BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        record(SIGINT);
        return TRUE;
    case CTRL_CLOSE_EVENT:
        record(SIGTERM);
        // Windows ends the process as soon as this returns. Waiting here lets the program
        // clean up and end itself; the system still ends it after its own time-out.
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void TerminationSignals::install() {
    static std::once_flag once;
    std::call_once(once, [] { SetConsoleCtrlHandler(onConsoleEvent, TRUE); });
}

int TerminationSignals::caught() {
    return firstCaught.load(std::memory_order_relaxed);
}

int TerminationSignals::exitStatusFor(int signal) {
    return 128 + signal;
}

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
    TerminationSignals::install();
    // Console events arrive on a foreign thread; looking at the flag from here keeps all of
    // the delivery on the event loop. Only the first event is delivered.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        const int signal = TerminationSignals::caught();
        if (signal != 0) {
            timer->stop();
            emit received(signal);
        }
    });
    timer->start(100);
}

}  // namespace quorvane
