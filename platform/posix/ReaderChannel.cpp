#include "platform/ReaderProcess.h"

#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/SystemError.h"
#include "platform/posix/ReaderWire.h"

namespace quorvane {

namespace {

// Processor time one document may take, and one worker in all before it makes way for a
// new one; the watchdog in the count catches a reader that stops sending long before.
constexpr rlim_t kSecondsPerFile = 120;
constexpr rlim_t kSecondsPerWorker = 3600;

// What reading files that are already open takes, for the parsers and the C and C++
// libraries beneath them; anything not named fails with EPERM.
constexpr const char* kAllowed[] = {
    "read", "readv", "pread64", "preadv", "lseek", "close", "fstat", "newfstatat", "statx",
    "stat", "lstat", "access", "faccessat", "faccessat2", "readlink", "readlinkat",
    "getdents64", "fcntl", "dup", "mmap", "munmap", "mremap", "mprotect", "madvise", "brk",
    "futex", "getrandom", "clock_gettime", "clock_getres", "gettimeofday", "nanosleep",
    "clock_nanosleep", "exit", "exit_group", "rt_sigreturn", "rt_sigprocmask", "rt_sigaction",
    "sigaltstack", "getpid", "gettid", "getppid", "getuid", "geteuid", "getgid", "getegid",
    "sched_getaffinity", "sched_yield", "getrusage", "uname", "sysinfo", "getcwd",
    "set_robust_list", "rseq", "membarrier", "restart_syscall",
};

// Never needed to read a file, and the first things a hijacked parser would reach for:
// the process ends on the spot rather than being told no.
constexpr const char* kFatal[] = {
    "execve", "execveat", "socket", "socketpair", "connect", "bind", "listen", "accept",
    "accept4", "fork", "vfork", "ptrace", "process_vm_readv", "process_vm_writev",
};
// What sanitizer builds need on top (their leak check stops the world with a traced
// clone), so those builds filter only the fatal few.
constexpr const char* kFatalWhenSanitized[] = {
    "execve", "execveat", "socket", "connect", "bind", "listen",
};

#if defined(QUORVANE_SANITIZED)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

int syscallNumber(const char* name) {
    return seccomp_syscall_resolve_name(name);
}

bool addRules(scmp_filter_ctx filter) {
    const scmp_datum_t channel = ReaderWire::kChannel;
    const scmp_datum_t self = static_cast<scmp_datum_t>(::getpid());
    const scmp_datum_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;
    bool ok = true;
    auto rule = [&](uint32_t action, const char* name, unsigned count,
                    const scmp_arg_cmp* conditions) {
        const int number = syscallNumber(name);
        if (number != __NR_SCMP_ERROR) {
            ok = ok && seccomp_rule_add_array(filter, action, number, count, conditions) == 0;
        }
    };
    if (kSanitized) {
        for (const char* name : kFatalWhenSanitized) {
            rule(SCMP_ACT_KILL_PROCESS, name, 0, nullptr);
        }
        // Writing opens fail; everything else is left to the sanitizer's needs.
        for (const scmp_datum_t bit : {scmp_datum_t{O_WRONLY}, scmp_datum_t{O_RDWR},
                                       scmp_datum_t{O_CREAT}, scmp_datum_t{O_TRUNC}}) {
            const scmp_arg_cmp at[] = {SCMP_A2(SCMP_CMP_MASKED_EQ, bit, bit)};
            const scmp_arg_cmp any[] = {SCMP_A1(SCMP_CMP_MASKED_EQ, bit, bit)};
            rule(SCMP_ACT_ERRNO(EACCES), "openat", 1, at);
            rule(SCMP_ACT_ERRNO(EACCES), "open", 1, any);
        }
        return ok;
    }
    for (const char* name : kAllowed) {
        rule(SCMP_ACT_ALLOW, name, 0, nullptr);
    }
    for (const char* name : kFatal) {
        rule(SCMP_ACT_KILL_PROCESS, name, 0, nullptr);
    }
    // Read-only opens (poppler's character maps, fontconfig's cache); no file is made or
    // changed.
    const scmp_arg_cmp readOnlyAt[] = {SCMP_A2(SCMP_CMP_MASKED_EQ, writing, 0)};
    const scmp_arg_cmp readOnly[] = {SCMP_A1(SCMP_CMP_MASKED_EQ, writing, 0)};
    rule(SCMP_ACT_ALLOW, "openat", 1, readOnlyAt);
    rule(SCMP_ACT_ALLOW, "open", 1, readOnly);
    // Talking on the channel alone.
    const scmp_arg_cmp onChannel[] = {SCMP_A0(SCMP_CMP_EQ, channel)};
    for (const char* name : {"write", "writev", "sendmsg", "sendto", "recvmsg", "recvfrom"}) {
        rule(SCMP_ACT_ALLOW, name, 1, onChannel);
    }
    // Signals to itself only (abort()).
    const scmp_arg_cmp toSelf[] = {SCMP_A0(SCMP_CMP_EQ, self)};
    rule(SCMP_ACT_ALLOW, "tgkill", 1, toSelf);
    rule(SCMP_ACT_ALLOW, "kill", 1, toSelf);
    // Threads, never new processes; clone3's flags lie out of reach, so the C library
    // falls back to clone.
    const scmp_arg_cmp thread[] = {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)};
    rule(SCMP_ACT_ALLOW, "clone", 1, thread);
    rule(SCMP_ACT_ERRNO(ENOSYS), "clone3", 0, nullptr);
    // Its own limits: read any, set the processor-time one (beginFile).
    const scmp_arg_cmp readLimit[] = {SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A2(SCMP_CMP_EQ, 0)};
    const scmp_arg_cmp cpuLimit[] = {SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A1(SCMP_CMP_EQ, RLIMIT_CPU)};
    rule(SCMP_ACT_ALLOW, "prlimit64", 2, readLimit);
    rule(SCMP_ACT_ALLOW, "prlimit64", 2, cpuLimit);
    return ok;
}

bool setLimit(int resource, rlim_t soft, rlim_t hard, QString& error) {
    const struct rlimit limit = {soft, hard};
    if (::setrlimit(resource, &limit) != 0) {
        error = SystemError::text(errno);
        return false;
    }
    return true;
}

bool sendMessage(char kind, const char* payload, qsizetype size) {
    char message[ReaderWire::kMaxMessage + 1];
    message[0] = kind;
    if (size > 0) {
        std::memcpy(message + 1, payload, static_cast<std::size_t>(size));
    }
    ssize_t sent;
    while ((sent = ::send(ReaderWire::kChannel, message, static_cast<std::size_t>(size) + 1,
                          MSG_NOSIGNAL)) < 0 &&
           errno == EINTR) {
    }
    return sent >= 0;
}

}  // namespace

bool ReaderChannel::parseArguments(int argc, char** argv, ReaderLimits& limits) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        bool ok = false;
        if (argument.startsWith("--memory=")) {
            limits.memoryBytes = argument.mid(9).toLongLong(&ok);
        }
        if (!ok || limits.memoryBytes <= 0) {
            return false;
        }
    }
    return true;
}

bool ReaderChannel::confine(const ReaderLimits& limits, QString& error) {
    // Gone with the count, even when it is killed outright.
    const pid_t parent = ::getppid();
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent || parent == 1) {
        error = QStringLiteral("no count to work for");
        return false;
    }
    // Sanitizers reserve terabytes of address space up front; those builds go without.
    if (!kSanitized && !setLimit(RLIMIT_DATA, static_cast<rlim_t>(limits.memoryBytes),
                                 static_cast<rlim_t>(limits.memoryBytes), error)) {
        return false;
    }
    if (!setLimit(RLIMIT_CPU, kSecondsPerFile, kSecondsPerWorker, error) ||
        !setLimit(RLIMIT_CORE, 0, 0, error) || !setLimit(RLIMIT_NOFILE, 64, 64, error)) {
        return false;
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        error = SystemError::text(errno);
        return false;
    }
    scmp_filter_ctx filter = seccomp_init(kSanitized ? SCMP_ACT_ALLOW : SCMP_ACT_ERRNO(EPERM));
    if (filter == nullptr) {
        error = QStringLiteral("no system call filter");
        return false;
    }
    const bool ok = addRules(filter) && seccomp_load(filter) == 0;
    seccomp_release(filter);
    if (!ok) {
        error = QStringLiteral("the system call filter could not be set");
    }
    return ok;
}

bool ReaderChannel::beginFile() {
    struct rusage usage = {};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) {
        return false;
    }
    const rlim_t used = static_cast<rlim_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1;
    if (used + kSecondsPerFile > kSecondsPerWorker) {
        return false;
    }
    const struct rlimit limit = {used + kSecondsPerFile, kSecondsPerWorker};
    return ::setrlimit(RLIMIT_CPU, &limit) == 0;
}

bool ReaderChannel::receive(qintptr& handle, QString& name) {
    char bytes[ReaderWire::kMaxMessage];
    ReaderWire::FileMessage message(bytes, sizeof bytes);
    ssize_t got;
    while ((got = ::recvmsg(ReaderWire::kChannel, &message.header, MSG_CMSG_CLOEXEC)) < 0 &&
           errno == EINTR) {
    }
    const struct cmsghdr* header = CMSG_FIRSTHDR(&message.header);
    if (got < 0 || header == nullptr || header->cmsg_type != SCM_RIGHTS) {
        return false;
    }
    int fd = -1;
    std::memcpy(&fd, CMSG_DATA(header), sizeof(int));
    handle = fd;
    name = QString::fromUtf8(bytes, got);
    return true;
}

bool ReaderChannel::sendText(const char* text, qsizetype size) {
    while (size > 0) {
        const qsizetype piece = qMin(size, ReaderWire::kMaxMessage);
        if (!sendMessage(ReaderWire::kText, text, piece)) {
            return false;
        }
        text += piece;
        size -= piece;
    }
    return true;
}

bool ReaderChannel::sendEnd(ContentNotes notes) {
    if (!notes) {
        return sendMessage(ReaderWire::kEnd, nullptr, 0);
    }
    const char flags = static_cast<char>(notes.toInt());
    return sendMessage(ReaderWire::kEnd, &flags, 1);
}

bool ReaderChannel::sendAsBytes() {
    return sendMessage(ReaderWire::kAsBytes, nullptr, 0);
}

bool ReaderChannel::sendFailed(const QString& reason) {
    const QByteArray bytes = reason.toUtf8().left(ReaderWire::kMaxMessage);
    return sendMessage(ReaderWire::kFailed, bytes.constData(), bytes.size());
}

bool ReaderChannel::sendOutOfMemory() {
    return sendMessage(ReaderWire::kOutOfMemory, nullptr, 0);
}

}  // namespace quorvane
