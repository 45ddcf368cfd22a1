#include "platform/TerminationSignals.h"

#include <QList>
#include <QPointer>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

namespace quorvane {
namespace {

// A signal handler may touch nothing but lock-free atomics and async-signal-safe calls.
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> firstCaught{0};
// Every caught signal travels as one byte through this pipe from the handler to the event
// loop, where nothing is forbidden any more.
int pipeRead = -1;
std::atomic<int> pipeWrite{-1};

void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    firstCaught.compare_exchange_strong(none, signal, std::memory_order_relaxed);
    const int fd = pipeWrite.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        // A full pipe already holds more signals than anybody waits for: drop this one.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

bool openPipe() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    for (const int fd : fds) {
        // Non-blocking: the handler must never wait on a full pipe, nor the reader on an empty
        // one. Close-on-exec: started programs have no business with it.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    pipeRead = fds[0];
    pipeWrite.store(fds[1]);
    return true;
}

bool startedIgnoring(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
           current.sa_handler == SIG_IGN;
}

}  // namespace

void TerminationSignals::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Without the pipe the signals are still caught; only the notifier stays silent.
        openPipe();
        struct sigaction action {};
        action.sa_handler = onTerminationSignal;
        // Reads and writes in progress go on: the program stops at its own next check.
        action.sa_flags = SA_RESTART;
        // One handler at a time; a repeated signal waits for the running one instead of
        // killing the program, since the handler stays installed.
        sigemptyset(&action.sa_mask);
        for (const int signal : kSignals) {
            sigaddset(&action.sa_mask, signal);
        }
        for (const int signal : kSignals) {
            // Whoever started us ignoring it (nohup, a script's background job) wants it so.
            if (!startedIgnoring(signal)) {
                ::sigaction(signal, &action, nullptr);
            }
        }
    });
}

int TerminationSignals::caught() {
    return firstCaught.load(std::memory_order_relaxed);
}

int TerminationSignals::exitStatusFor(int signal) {
    return 128 + signal;
}

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
    TerminationSignals::install();
    if (pipeRead < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(pipeRead, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        // Empty the pipe before telling anyone: a receiver may open a dialog (and so a nested
        // event loop) or delete this notifier.
        QList<int> signalsCaught;
        unsigned char bytes[64];
        for (;;) {
            const ssize_t got = ::read(pipeRead, bytes, sizeof bytes);
            if (got > 0) {
                for (ssize_t i = 0; i < got; ++i) {
                    signalsCaught << bytes[i];
                }
            } else if (got < 0 && errno == EINTR) {
                continue;
            } else {
                break;
            }
        }
        const QPointer<TerminationNotifier> alive(this);
        for (const int signal : signalsCaught) {
            if (alive.isNull()) {
                return;
            }
            emit received(signal);
        }
    });
}

}  // namespace quorvane
