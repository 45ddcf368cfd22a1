#include "platform/ReaderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/FileContentSource.h"
#include "platform/FileName.h"
#include "platform/SystemError.h"
#include "platform/posix/ReaderWire.h"

extern char** environ;

namespace quorvane {

namespace {

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The worker program lies beside the installed programs (PREFIX/libexec/quorvane, as the
// build folder mirrors it); QUORVANE_READER names another, for tests.
QByteArray readerProgram() {
    const QByteArray named = qgetenv("QUORVANE_READER");
    if (!named.isEmpty()) {
        return named;
    }
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        return QByteArray();
    }
    QByteArray dir(self, n);
    dir.truncate(dir.lastIndexOf('/'));
    return dir + "/../libexec/quorvane/" + ReaderWire::kProgramName;
}

QString signalName(int signal) {
    const char* name = ::strsignal(signal);
    return name != nullptr ? QString::fromLocal8Bit(name) : QStringLiteral("signal %1").arg(signal);
}

}  // namespace

struct ReaderPool::Worker {
    pid_t pid = -1;
    int socket = -1;

    ~Worker() { stop(); }

    bool start(const ReaderLimits& limits, QString& reason) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
            reason = SystemError::text(errno);
            return false;
        }
        const QByteArray program = readerProgram();
        const QByteArray memory = "--memory=" + QByteArray::number(limits.memoryBytes);
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(memory.constData()),
                        nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], ReaderWire::kChannel);
        // A process group of its own: Ctrl+C at a terminal is the count's to handle; the
        // worker ends with it (see the worker's parent-death signal).
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        const int failed =
            ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (failed != 0) {
            ::close(ends[0]);
            pid = -1;
            reason = QStringLiteral("the document reader could not be started (%1: %2)")
                         .arg(FileName::display(QString::fromLocal8Bit(program)),
                              SystemError::text(failed));
            return false;
        }
        socket = ends[0];
        return true;
    }

    // Kills the worker, if it still runs, and reaps it.
    void stop() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            pid = -1;
        }
        if (socket >= 0) {
            ::close(socket);
            socket = -1;
        }
    }

    // Why the worker ended, once its side of the channel closed.
    QString reapReason(const ReaderLimits& limits) {
        int status = 0;
        struct rusage usage = {};
        pid_t got;
        while ((got = ::wait4(pid, &status, 0, &usage)) < 0 && errno == EINTR) {
        }
        pid = -1;
        if (got <= 0) {
            return QStringLiteral("the document reader stopped");
        }
        if (WIFSIGNALED(status)) {
            const int signal = WTERMSIG(status);
            if (signal == SIGXCPU) {
                return ReaderWire::tookTooLong(limits);
            }
            // Libraries that abort when an allocation fails, rather than throw, end here.
            if (usage.ru_maxrss * qint64{1024} >= limits.memoryBytes * 3 / 4) {
                return ReaderWire::needsTooMuch(limits);
            }
            return QStringLiteral("the document reader stopped (%1)").arg(signalName(signal));
        }
        return QStringLiteral("the document reader stopped (exit status %1)")
            .arg(WEXITSTATUS(status));
    }

    bool handOver(int fd, const QString& name) {
        const QByteArray bytes = name.toUtf8().left(ReaderWire::kMaxMessage);
        ReaderWire::FileMessage message(const_cast<char*>(bytes.constData()),
                                        static_cast<std::size_t>(bytes.size()));
        struct cmsghdr* header = CMSG_FIRSTHDR(&message.header);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &fd, sizeof(int));
        ssize_t sent;
        while ((sent = ::sendmsg(socket, &message.header, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
        }
        return sent >= 0;
    }
};

struct ReaderPool::State {
    std::mutex mutex;
    std::condition_variable released;
    std::vector<std::unique_ptr<Worker>> idle;
    int running = 0;  // idle ones and those reading
    int maxWorkers = 1;
    ReaderLimits limits;

    std::unique_ptr<Worker> take() {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return !idle.empty() || running < maxWorkers; });
        if (!idle.empty()) {
            std::unique_ptr<Worker> worker = std::move(idle.back());
            idle.pop_back();
            return worker;
        }
        ++running;
        return std::make_unique<Worker>();
    }

    void give(std::unique_ptr<Worker> worker) {
        {
            const std::lock_guard lock(mutex);
            if (worker && worker->pid > 0) {
                idle.push_back(std::move(worker));
            } else {
                --running;
            }
        }
        released.notify_one();
        // A stopped worker is reaped here, outside the lock, when `worker` goes.
    }
};

namespace {

class WorkerReading : public ReaderPool::Reading {
public:
    WorkerReading(std::shared_ptr<ReaderPool::State> pool,
                  std::unique_ptr<ReaderPool::Worker> worker)
        : pool_(std::move(pool)), worker_(std::move(worker)), lastWordMs_(nowMs()) {}

    // A document left before its end is still being read: only killing stops that.
    ~WorkerReading() override {
        if (!finished_) {
            worker_->stop();
        }
        pool_->give(std::move(worker_));
    }

    Reply next(QByteArray& text, QString& reason, int waitMs) override;
    ContentNotes notes() const override { return notes_; }

private:
    Reply fail(QString why) {
        worker_->stop();
        finished_ = true;
        reasonSent_ = std::move(why);
        return Reply::Failed;
    }

    std::shared_ptr<ReaderPool::State> pool_;
    std::unique_ptr<ReaderPool::Worker> worker_;
    qint64 lastWordMs_;
    bool finished_ = false;
    QString reasonSent_;
    QByteArray message_;
    ContentNotes notes_;
};

ReaderPool::Reading::Reply WorkerReading::next(QByteArray& text, QString& reason, int waitMs) {
    if (finished_) {
        reason = reasonSent_;
        return Reply::Failed;
    }
    const ReaderLimits& limits = pool_->limits;
    struct pollfd watch = {worker_->socket, POLLIN, 0};
    const int left = static_cast<int>(qMax<qint64>(0, lastWordMs_ + limits.timeoutMs - nowMs()));
    const int ready = ::poll(&watch, 1, qMin(waitMs, left));
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        if (nowMs() - lastWordMs_ < limits.timeoutMs) {
            return Reply::Waiting;
        }
        const Reply failed = fail(ReaderWire::tookTooLong(limits));
        reason = reasonSent_;
        return failed;
    }
    message_.resize(ReaderWire::kMaxMessage + 1);
    ssize_t got;
    while ((got = ::recv(worker_->socket, message_.data(), message_.size(), 0)) < 0 &&
           errno == EINTR) {
    }
    if (got <= 0) {
        ::close(worker_->socket);
        worker_->socket = -1;
        reasonSent_ = worker_->reapReason(limits);
        finished_ = true;
        reason = reasonSent_;
        return Reply::Failed;
    }
    lastWordMs_ = nowMs();
    const char kind = message_[0];
    const QByteArrayView payload(message_.constData() + 1, got - 1);
    switch (kind) {
        case ReaderWire::kText:
            text = payload.toByteArray();
            return Reply::Text;
        case ReaderWire::kEnd:
            finished_ = true;
            notes_ = payload.isEmpty()
                         ? ContentNotes()
                         : ContentNotes::fromInt(static_cast<unsigned char>(payload[0]));
            return Reply::End;
        case ReaderWire::kAsBytes:
            finished_ = true;
            return Reply::AsBytes;
        case ReaderWire::kFailed:
            finished_ = true;
            reason = QString::fromUtf8(payload);
            return Reply::Failed;
        case ReaderWire::kOutOfMemory:
            // What is left of a heap that ran dry is not worth keeping.
            fail(ReaderWire::needsTooMuch(limits));
            reason = reasonSent_;
            return Reply::Failed;
        default:
            fail(QStringLiteral("the document reader sent what it should not"));
            reason = reasonSent_;
            return Reply::Failed;
    }
}

}  // namespace

ReaderPool::ReaderPool(ReaderLimits limits, int maxWorkers)
    : limits_(limits), state_(std::make_shared<State>()) {
    state_->limits = limits;
    state_->maxWorkers = qMax(1, maxWorkers);
}

ReaderPool::~ReaderPool() {
    const std::lock_guard lock(state_->mutex);
    state_->idle.clear();  // each killed and reaped
}

bool ReaderPool::available() {
    return true;
}

std::unique_ptr<ReaderPool::Reading> ReaderPool::read(const FileContentSource& file,
                                                      const QString& name, QString& reason) {
    // A fresh open of the same file: the worker reads from its own position, and the
    // count can still read the file's bytes from where it stopped if the worker finds no
    // document in it.
    FileContentSource own;
    if (!own.open(file.openName()) || !own.identity().sameFileAs(file.identity())) {
        reason = own.errorString().isEmpty() ? QStringLiteral("the file was replaced while it was read")
                                             : own.errorString();
        return nullptr;
    }
    const int fd = static_cast<int>(own.nativeHandle());
    // A worker idle since its last file may have ended meanwhile (it retires after much
    // work): one more try with a new one.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<Worker> worker = state_->take();
        if (worker->pid < 0 && !worker->start(limits_, reason)) {
            state_->give(std::move(worker));
            return nullptr;
        }
        if (worker->handOver(fd, name)) {
            return std::make_unique<WorkerReading>(state_, std::move(worker));
        }
        reason = QStringLiteral("the document reader stopped");
        worker->stop();
        state_->give(std::move(worker));
    }
    return nullptr;
}

}  // namespace quorvane
