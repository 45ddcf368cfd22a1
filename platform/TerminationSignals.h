#pragma once

#include <QObject>

namespace quorvane {

// The requests to stop that arrive from outside the program: SIGTERM, SIGINT (Ctrl+C) and
// SIGHUP (the terminal went away); on Windows Ctrl+C, Ctrl+Break and the console's close
// button. Caught, they let a running count be cancelled like closing the window does, so
// that its temporary report is removed and an earlier report stays as it was.
class TerminationSignals {
public:
    // Catches the three signals from now on instead of dying at once. A signal the program
    // was started ignoring (nohup, a background job of a script) stays ignored. Idempotent.
    static void install();
    // The first of them caught since install(), or 0. Safe to poll often (a relaxed atomic
    // load).
    static int caught();
    // The exit status a shell expects after that signal: 128 + its number (SIGINT 130,
    // SIGTERM 143, SIGHUP 129).
    static int exitStatusFor(int signal);
};

// Delivers the caught signals on the Qt event loop, for programs that have one: emits
// received(signal) once for every signal caught, in the order they came, including those
// caught after install() but before the notifier existed (on Windows: once, for the first).
// Installs the signals itself if that has not been done yet. One notifier per program: a
// second one would share the deliveries with the first.
class TerminationNotifier : public QObject {
    Q_OBJECT
public:
    explicit TerminationNotifier(QObject* parent = nullptr);

signals:
    void received(int signal);
};

}  // namespace quorvane
