#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <signal.h>
#include <sys/syscall.h>

#include "tests/Eventually.h"
#include "tests/SignalHandlers.h"

namespace quorvane {
namespace {

// ---- Inside a program of its own ----
//
// Signal dispositions last for the whole process, so each case runs in a child made by a
// death test. The child exits 0 when all went as it should and otherwise names the first
// thing that did not on standard error; dying of the signal shows as not exiting at all.

struct SignalCase {
    const char* name;
    std::vector<int> raised;
    bool notifierFirst;  // watching already, or only made after the signals came
    int ignoredBeforeInstall;
    int expectedCaught;
    QList<int> expectedReceived;
};

int fail(const char* what) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    return 1;
}

int runSignalCase(const SignalCase& c) {
    if (c.ignoredBeforeInstall != 0) {
        std::signal(c.ignoredBeforeInstall, SIG_IGN);
    }
    TerminationSignals::install();
    TerminationSignals::install();  // a second call must not deliver twice
    if (TerminationSignals::caught() != 0) {
        return fail("caught() before any signal");
    }
    int argc = 1;
    char name[] = "child";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QList<int> received;
    std::unique_ptr<TerminationNotifier> notifier;
    auto watch = [&] {
        notifier = std::make_unique<TerminationNotifier>();
        QObject::connect(notifier.get(), &TerminationNotifier::received,
                         [&received](int signal) { received << signal; });
    };
    if (c.notifierFirst) {
        watch();
    }
    for (const int signal : c.raised) {
        std::raise(signal);
    }
    if (TerminationSignals::caught() != c.expectedCaught) {
        return fail("caught() is not the first signal");
    }
    if (!c.notifierFirst) {
        watch();
    }
    QDeadlineTimer deadline(5000);
    while (received.size() < c.expectedReceived.size() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    // Anything delivered twice would come now.
    QDeadlineTimer settle(50);
    while (!settle.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    if (received != c.expectedReceived) {
        return fail("received() did not report each signal once, in order");
    }
    return 0;
}

TEST(TerminationSignalsDeathTest, SignalsAreCaughtAndDeliveredOnce) {
    const SignalCase cases[] = {
        {"term", {SIGTERM}, true, 0, SIGTERM, {SIGTERM}},
        {"int", {SIGINT}, true, 0, SIGINT, {SIGINT}},
        {"hup", {SIGHUP}, true, 0, SIGHUP, {SIGHUP}},
        {"before the notifier", {SIGTERM}, false, 0, SIGTERM, {SIGTERM}},
        {"first one wins", {SIGINT, SIGTERM}, true, 0, SIGINT, {SIGINT, SIGTERM}},
        {"repeated", {SIGTERM, SIGTERM}, true, 0, SIGTERM, {SIGTERM, SIGTERM}},
        {"nohup stays in force", {SIGHUP}, true, SIGHUP, 0, {}},
        {"ignored one only", {SIGHUP, SIGINT}, true, SIGHUP, SIGINT, {SIGINT}},
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const SignalCase& c : cases) {
        EXPECT_EXIT(std::exit(runSignalCase(c)), ::testing::ExitedWithCode(0), "") << c.name;
    }
}

TEST(TerminationSignals, ExitStatusIsWhatAShellReports) {
    const struct {
        int signal;
        int status;
    } rows[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
    for (const auto& row : rows) {
        EXPECT_EQ(TerminationSignals::exitStatusFor(row.signal), row.status) << row.signal;
    }
}

// ---- The window program ----

// Whether the program's main thread waits in poll(), as it does only once its event loop
// runs: the window is up. The first field of /proc/<pid>/syscall is the number of the
// system call a blocked thread is in.
bool waitsForEvents(qint64 pid) {
    QFile syscall(QStringLiteral("/proc/%1/syscall").arg(pid));
    if (!syscall.open(QIODevice::ReadOnly)) {
        return false;
    }
    bool ok = false;
    const long number = syscall.readAll().split(' ').value(0).toLong(&ok);
#if defined(SYS_poll)
    if (ok && number == SYS_poll) {
        return true;
    }
#endif
    return ok && number == SYS_ppoll;
}

TEST(WindowProgram, EndsOnATerminationSignalLeavingTheReportAlone) {
    if (!QFile::exists(QStringLiteral("/proc/self/status")) ||
        !QFile::exists(QStringLiteral("/proc/self/syscall"))) {
        GTEST_SKIP() << "needs /proc/<pid>/status and /proc/<pid>/syscall to see when the "
                        "program is ready for signals";
    }
    const struct {
        int signal;
        bool windowUp;  // false: as soon as the handler is in place, before the window is up
    } rows[] = {{SIGTERM, false}, {SIGTERM, true}, {SIGINT, true}, {SIGHUP, true}};
    const QByteArray report("1. earlier (3 Words)\r\n\r\nTotal Words: 3\r\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.signal);
        SCOPED_TRACE(row.windowUp ? "window up" : "handler in place");
        QTemporaryDir dir;
        QDir root(dir.path());
        ASSERT_TRUE(root.mkpath("config/Harvex") && root.mkpath("home") && root.mkpath("words"));
        const QString folder = root.filePath("words");
        QFile settings(root.filePath("config/Harvex/Harvex.conf"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("[paths]\nbrowsepath=" + QFile::encodeName(folder) + "\n");
        settings.close();
        QFile words(folder + "/earlier.txt");
        ASSERT_TRUE(words.open(QIODevice::WriteOnly));
        words.write("one two three");
        words.close();
        QFile earlier(folder + "/tallix.txt");
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write(report);
        earlier.close();

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", root.filePath("config"));
        env.insert("HOME", root.filePath("home"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A test run started ignoring the signal (nohup) would hand that on to the program.
        const int signal = row.signal;
        program.setChildProcessModifier([signal] { std::signal(signal, SIG_DFL); });
        program.start(QStringLiteral(QUORVANE_WINDOW_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted(5000));
        const qint64 pid = program.processId();
        ASSERT_TRUE(test::eventually([&] { return test::catchesSignal(pid, row.signal); }));
        if (row.windowUp) {
            ASSERT_TRUE(test::eventually([&] { return waitsForEvents(pid); }));
        }
        ASSERT_EQ(::kill(static_cast<pid_t>(pid), row.signal), 0);

        const bool ended = program.waitForFinished(5000);
        if (!ended) {
            program.kill();
            program.waitForFinished(5000);
        }
        ASSERT_TRUE(ended) << "still running after the signal";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), TerminationSignals::exitStatusFor(row.signal));
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), report);
        earlier.close();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                  QStringList({"earlier.txt", "tallix.txt"}));
    }
}

}  // namespace
}  // namespace quorvane
