// The count's side of the reader workers, against workers that misbehave on purpose: this
// test program is also the worker (started with the worker's arguments it acts one, under
// the real confinement), and each file's name says what it does.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "count/CountJob.h"
#include "documents/ContentSources.h"
#include "platform/ReaderProcess.h"
#include "platform/SystemError.h"
#include "tests/Eventually.h"
#include "tests/SanitizedBuild.h"

namespace quorvane {
namespace {

// A PDF by its first bytes, so the count hands it to a worker.
const QByteArray kDocument("%PDF-1.4\n% stand-in\n");

void misbehave(const QString& name) {
    if (name.startsWith(u"hang")) {
        volatile unsigned spin = 0;
        for (;;) {
            spin = spin + 1;
        }
    }
    if (name.startsWith(u"crash")) {
        ::signal(SIGSEGV, SIG_DFL);  // a sanitizer's handler would turn it into an abort
        ::raise(SIGSEGV);
    }
    if (name.startsWith(u"memory")) {
        // The limit is on what is asked for, touched or not.
        std::vector<std::unique_ptr<char[]>> held;
        for (;;) {
            held.emplace_back(new char[1 << 20]);
        }
    }
    if (name.startsWith(u"exec")) {
        ::execl("/bin/true", "true", static_cast<char*>(nullptr));
        ReaderChannel::sendFailed(QStringLiteral("exec worked"));
        return;
    }
    if (name.startsWith(u"socket")) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        ReaderChannel::sendFailed(QStringLiteral("socket: %1").arg(s));
        return;
    }
    if (name.startsWith(u"write")) {
        const int fd = ::open(qgetenv("QUORVANE_TEST_ESCAPE").constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ReaderChannel::sendFailed(fd >= 0 ? QStringLiteral("opened for writing")
                                          : SystemError::text(errno));
        return;
    }
    if (name.startsWith(u"slow")) {
        // Slower than the timeout in all, but never silent that long.
        for (int i = 0; i < 6; ++i) {
            ::usleep(300 * 1000);
            ReaderChannel::sendText("word ", 5);
        }
        ReaderChannel::sendEnd();
        return;
    }
    if (name.startsWith(u"bytes")) {
        ReaderChannel::sendAsBytes();
        return;
    }
    ReaderChannel::sendText("\xEF\xBB\xBFone two three", 16);
    ReaderChannel::sendEnd();
}

int actAsWorker(int argc, char** argv) {
    ReaderLimits limits;
    QString error;
    if (!ReaderChannel::parseArguments(argc, argv, limits) ||
        !ReaderChannel::confine(limits, error)) {
        return 1;
    }
    qintptr handle = -1;
    QString name;
    while (ReaderChannel::beginFile() && ReaderChannel::receive(handle, name)) {
        ::close(static_cast<int>(handle));
        try {
            misbehave(name);
        } catch (const std::bad_alloc&) {
            ReaderChannel::sendOutOfMemory();
        }
    }
    return 0;
}

// The processor time a process has used, in clock ticks (-1 when it is gone).
qint64 cpuTicks(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray line = stat.readAll();
    // The fields after the command name, which may hold spaces, start past its ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

// The processes a process started, from whichever of its threads.
QString childrenOf(pid_t pid) {
    QString children;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile list(tasks.filePath(task + QStringLiteral("/children")));
        if (list.open(QIODevice::ReadOnly)) {
            children += QString::fromLatin1(list.readAll());
        }
    }
    return children.trimmed();
}

QByteArray selfPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return QByteArray(path, n > 0 ? n : 0);
}

class ReaderWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("QUORVANE_READER", selfPath());
        escape = dir.filePath(QStringLiteral("escaped"));
        qputenv("QUORVANE_TEST_ESCAPE", QFile::encodeName(escape));
    }

    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    CountResult run(const QStringList& entries, int threads, int timeoutSeconds,
                    std::function<void(CountJob&)> onYield = {}) {
        CountRequest request;
        request.folder = dir.path();
        request.entries = entries;
        request.options = [] { return ReportOptions{}; };
        request.letterCase = [] { return LetterCase::Untouched; };
        request.keepEntries = true;
        CountParts parts;
        parts.threads = threads;
        parts.makeSource = contentSourceFactory(true, timeoutSeconds);
        CountJob job(request, parts);
        if (onYield) {
            job.setYieldCallback([&] { onYield(job); });
        }
        return job.run();
    }

    QTemporaryDir dir;
    QString escape;
};

using test::kSanitized;

struct MisbehaviourRow {
    const char* file;
    const char* reason;  // null: counted, three words
};

TEST_F(ReaderWorkerTest, EachMisbehaviourCostsItsFileOnly) {
    const MisbehaviourRow rows[] = {
        {"text.pdf", nullptr},
        {"hang.pdf", "the document took longer than 1 s to read"},
        {"crash.pdf", "the document reader stopped (Segmentation fault)"},
        {"exec.pdf", "the document reader stopped (Bad system call)"},
        {"socket.pdf", "the document reader stopped (Bad system call)"},
        {"memory.pdf", "the document needs more than 256 MiB to read"},
        {"after.pdf", nullptr},
    };
    QStringList entries;
    for (const MisbehaviourRow& row : rows) {
        if (kSanitized && std::strncmp(row.file, "memory", 6) == 0) {
            continue;  // sanitizer builds go without the memory limit
        }
        write(QString::fromLatin1(row.file), kDocument);
        entries.append(QString::fromLatin1(row.file));
    }
    write(QStringLiteral("plain.txt"), "four words of text");
    entries.append(QStringLiteral("plain.txt"));
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        QElapsedTimer timer;
        timer.start();
        const CountResult result = run(entries, threads, 1);
        ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
        // The hang costs its second, the rest little.
        EXPECT_LT(timer.elapsed(), 6000);
        for (const MisbehaviourRow& row : rows) {
            const QString name = QString::fromLatin1(row.file);
            if (!entries.contains(name)) {
                continue;
            }
            const auto counted = std::find_if(result.counted.begin(), result.counted.end(),
                                              [&](const ReportEntry& e) { return e.name == name; });
            const auto failed = std::find_if(result.notCounted.begin(), result.notCounted.end(),
                                             [&](const NotCounted& n) { return n.name == name; });
            if (row.reason == nullptr) {
                ASSERT_NE(counted, result.counted.end()) << row.file;
                EXPECT_EQ(counted->words, 3) << row.file;
            } else {
                ASSERT_NE(failed, result.notCounted.end()) << row.file;
                EXPECT_EQ(failed->reason, QString::fromLatin1(row.reason)) << row.file;
            }
        }
        EXPECT_EQ(result.counted.last().words, 4);
    }
}

TEST_F(ReaderWorkerTest, ConfinedWorkerMakesNoFileAndProgressKeepsTheWatchdogAway) {
    write(QStringLiteral("write.pdf"), kDocument);
    write(QStringLiteral("slow.pdf"), kDocument);
    write(QStringLiteral("bytes.pdf"), kDocument + "and its bytes");
    const CountResult result =
        run({QStringLiteral("write.pdf"), QStringLiteral("slow.pdf"), QStringLiteral("bytes.pdf")},
            1, 1);
    ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
    ASSERT_EQ(result.notCounted.size(), 1);
    EXPECT_EQ(result.notCounted[0].reason,
              SystemError::text(kSanitized ? EACCES : EPERM));
    EXPECT_FALSE(QFile::exists(escape));
    ASSERT_EQ(result.counted.size(), 2);
    EXPECT_EQ(result.counted[0].words, 6);  // slow.pdf, 1.8 s in all
    // bytes.pdf: "%PDF-1.4" "%" "stand-in" "and" "its" "bytes", as a plain file counts.
    EXPECT_EQ(result.counted[1].name, QStringLiteral("bytes.pdf"));
    EXPECT_GT(result.counted[1].words, 0);
}

TEST_F(ReaderWorkerTest, CancellingEndsARunStuckInAReaderAtOnce) {
    write(QStringLiteral("hang.pdf"), kDocument);
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        QElapsedTimer sinceStart;
        sinceStart.start();
        qint64 cancelledAt = -1;
        const CountResult result = run({QStringLiteral("hang.pdf")}, threads, 60, [&](CountJob& job) {
            if (cancelledAt < 0 && sinceStart.elapsed() >= 200) {
                cancelledAt = sinceStart.elapsed();
                job.cancel();
            }
        });
        EXPECT_EQ(result.outcome, CountResult::Outcome::Cancelled);
        ASSERT_GE(cancelledAt, 0);
        EXPECT_LT(sinceStart.elapsed() - cancelledAt, 100);
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("tallix.txt"))));
    }
}

#if defined(QUORVANE_COUNT_BIN)
// SIGTERM, SIGINT and SIGHUP end the headless counter while a reader is stuck, and leave
// the earlier report as it was; no worker outlives it.
TEST_F(ReaderWorkerTest, TerminationSignalsEndTheCounterWhileAReaderIsStuck) {
    write(QStringLiteral("hang.pdf"), kDocument);
    write(QStringLiteral("tallix.txt"), "the earlier report");
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        QProcess counter;
        counter.start(QStringLiteral(QUORVANE_COUNT_BIN),
                      {QStringLiteral("--document-text"), dir.path(), QStringLiteral("*.pdf")});
        ASSERT_TRUE(counter.waitForStarted());
        // Until the worker is there and stuck: it shows as a child of the counter.
        QString children;
        ASSERT_TRUE(test::eventually([&] {
            children = childrenOf(static_cast<pid_t>(counter.processId()));
            return !children.isEmpty();
        }));
        const pid_t worker = children.section(u' ', 0, 0).toInt();
        // Stuck for sure once it has spun for a few clock ticks.
        ASSERT_TRUE(test::eventually([&] { return cpuTicks(worker) >= 3; }));
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(static_cast<pid_t>(counter.processId()), signal);
        ASSERT_TRUE(counter.waitForFinished(5000));
        // The sanitizers' leak check at exit takes its own time.
        EXPECT_LT(sinceSignal.elapsed(), kSanitized ? 1000 : 100);
        EXPECT_EQ(counter.exitCode(), 128 + signal);
        EXPECT_NE(::kill(worker, 0), 0) << "worker " << worker << " outlived the counter";
        QFile report(dir.filePath(QStringLiteral("tallix.txt")));
        ASSERT_TRUE(report.open(QIODevice::ReadOnly));
        EXPECT_EQ(report.readAll(), QByteArray("the earlier report"));
    }
}
#endif

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
    if (argc > 1 && std::strncmp(argv[1], "--memory=", 9) == 0) {
        return quorvane::actAsWorker(argc, argv);
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
