#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#ifdef QUORVANE_POSIX_TESTS
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <functional>
#include <future>
#include <map>
#include <random>
#include <thread>

#include "count/CountJob.h"
#include "count/TextFilter.h"
#include "count/TextReportFormat.h"
#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"
#include "platform/Clock.h"
#include "platform/ContentSource.h"
#include "platform/FileContentSource.h"
#include "platform/FileName.h"

namespace quorvane {
namespace {

// A clock that moves only when told to.
class FakeClock : public Clock {
public:
    qint64 nowNs() const override { return now; }
    void advanceMs(qint64 ms) { now += ms * 1000 * 1000; }
    qint64 now = 0;
};

// A clock on which every look takes a millisecond: the job yields after every file.
class TickingClock : public Clock {
public:
    qint64 nowNs() const override { return now += 1000 * 1000; }
    mutable qint64 now = 0;
};

// Reads files through the real source, but lets a test make each read slow (on the fake
// clock), short, or fail after some reads.
class ScriptedSource : public ContentSource {
public:
    explicit ScriptedSource(FakeClock& clock) : clock_(clock) {}
    bool open(const QString& path) override { reads = 0; return real.open(path); }
    qint64 read(char* buffer, qint64 size) override {
        ++reads;
        clock_.advanceMs(msPerRead);
        if (failAfterReads >= 0 && reads > failAfterReads) {
            error = QStringLiteral("Input/output error");
            return -1;
        }
        return real.read(buffer, shortReads ? qMin<qint64>(size, 7) : size);
    }
    void close() override { real.close(); }
    QString errorString() const override { return error.isEmpty() ? real.errorString() : error; }
    FileIdentity identity() const override { return real.identity(); }

    FileContentSource real;
    qint64 msPerRead = 0;
    int failAfterReads = -1;
    bool shortReads = false;
    int reads = 0;
    QString error;

private:
    FakeClock& clock_;
};

// Plain files that shrink while they are counted: mapped bytes fail, and reading by
// offset finds the end past the first half of the size the file had when opened.
class ShrinkingWhenCounted : public FileContentSource {
public:
    struct Shrunk : MappedBytes {
        bool visit(qint64, qint64, Take, void*) override { return false; }
    };
    std::unique_ptr<MappedBytes> mapAt(qint64, qint64) override {
        return std::make_unique<Shrunk>();
    }
    qint64 readAt(qint64 offset, char* buffer, qint64 size, QString& error) override {
        const qint64 end = this->size() / 2;
        return offset >= end ? 0
                             : FileContentSource::readAt(offset, buffer, qMin(size, end - offset),
                                                         error);
    }
};

// Lends a test's source to a job, which owns the sources it reads with.
class Borrowed : public ContentSource {
public:
    explicit Borrowed(ContentSource& source) : source_(source) {}
    bool open(const QString& path) override { return source_.open(path); }
    qint64 read(char* buffer, qint64 size) override { return source_.read(buffer, size); }
    void close() override { source_.close(); }
    QString errorString() const override { return source_.errorString(); }
    FileIdentity identity() const override { return source_.identity(); }

private:
    ContentSource& source_;
};

std::function<std::unique_ptr<ContentSource>()> borrow(ContentSource& source) {
    return [&source] { return std::make_unique<Borrowed>(source); };
}

// A device that takes a given number of bytes, then fails as a full disk does.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (written.size() + size > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        written.append(data, size);
        return size;
    }

private:
    qint64 room_;
};

// The text layout on a device that fails: the failure and its reason come back from the
// line that hit it, never later, never as success.
class FailingFormat : public ReportFormat {
public:
    explicit FailingFormat(qint64 room) : device(room), text({}, {}) {}
    bool begin(QIODevice&) override { return text.begin(device); }
    bool entry(const ReportEntry& entry) override { return text.entry(entry); }
    bool end(const ReportSummary& summary) override { return text.end(summary); }
    QString errorString() const override { return text.errorString(); }

    FailingDevice device;
    TextReportFormat text;
};

class CountJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path();
    }

    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray report() const {
        QFile f(dir.filePath("tallix.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QStringList folderNames() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                          QDir::NoDotAndDotDot);
    }

    CountRequest request() {
        CountRequest r;
        r.folder = folder;
        r.entries = entries;
        r.options = [this] { return options; };
        r.letterCase = [this] { return letterCase; };
        r.dateCreated = [this](const QString&) { return created; };
        r.keepEntries = true;
        return r;
    }

    // Runs a job over the fixture's request; every yield is counted and handed to onYield.
    CountResult run(CountParts parts = {}) {
        if (parts.threads == 0) {
            parts.threads = threads;
        }
        if (parts.clock == nullptr) {
            parts.clock = &ticking;
        }
        CountJob job(request(), parts);
        current = &job;
        job.setYieldCallback([this] {
            // The disk's time to take the report adds turns of its own, as many as it takes.
            if (current->isFinishing()) {
                return;
            }
            ++yields;
            if (onYield) {
                onYield(yields);
            }
        });
        const CountResult result = job.run();
        current = nullptr;
        return result;
    }

    QTemporaryDir dir;
    QString folder;
    QStringList entries;
    ReportOptions options;
    LetterCase letterCase = LetterCase::Untouched;
    QDateTime created;
    int threads = 0;
    TickingClock ticking;
    int yields = 0;
    std::function<void(int)> onYield;
    CountJob* current = nullptr;
};

TEST_F(CountJobTest, EmptyFolderWritesOnlyTheTotal) {
    const CountResult result = run();
    EXPECT_EQ(result.outcome, CountResult::Outcome::Completed);
    EXPECT_EQ(result.reportPath, dir.filePath("tallix.txt"));
    EXPECT_EQ(report(), QByteArray("\r\nTotal Words: 0\r\n"));
    EXPECT_EQ(folderNames(), QStringList{"tallix.txt"});  // no temporary file left behind
}

TEST_F(CountJobTest, SkipsTheReportAndNumbersWithGaps) {
    write("a.txt", "one two three");
    write("b.txt", "");
    write("tallix.txt", "an earlier report");
    write("Tallix.TXT", "not the report");
    write("c.txt", "x,y z");
    entries = {"a.txt", "b.txt", "tallix.txt", "Tallix.TXT", "", "c.txt"};
    options.numbered = true;
    // In sequence: workers that take longer than a wait would add yields of their own.
    threads = 1;
    const CountResult result = run();
    EXPECT_EQ(report(), QByteArray("1. a.txt (3 Words)\r\n"
                                   "2. b.txt (0 Words)\r\n"
                                   "4. Tallix.TXT (3 Words)\r\n"
                                   "6. c.txt (2 Words)\r\n"
                                   "\r\n"
                                   "Total Words: 8\r\n"));
    EXPECT_EQ(result.total, 8);
    EXPECT_EQ(result.filesCounted, 4);
    ASSERT_EQ(result.counted.size(), 4);
    EXPECT_EQ(result.counted[2].index, 3);
    EXPECT_EQ(result.counted[2].name, "Tallix.TXT");
    EXPECT_EQ(result.counted[2].words, 3);
    // After every entry, skipped ones included, and once more before the report is
    // finished, as a millisecond passed on this clock since the last.
    EXPECT_EQ(yields, 6 + 1);

    // Unless asked, the entries are in the report only.
    CountRequest unkept = request();
    unkept.keepEntries = false;
    CountParts parts;
    parts.clock = &ticking;
    const CountResult plain = CountJob(unkept, parts).run();
    EXPECT_TRUE(plain.counted.isEmpty());
    EXPECT_EQ(plain.filesCounted, 4);
    EXPECT_EQ(plain.total, 8);

    // Cancelled at that last yield: the run is not complete, the earlier report stays.
    write("tallix.txt", "an earlier report");
    yields = 0;
    onYield = [&](int n) {
        if (n == 7) {
            current->cancel();
        }
    };
    EXPECT_EQ(run().outcome, CountResult::Outcome::Cancelled);
    EXPECT_EQ(report(), QByteArray("an earlier report"));
}

TEST_F(CountJobTest, ContentRows) {
    const struct {
        const char* name;
        QByteArray bytes;
        qint64 words;
    } rows[] = {
        {"empty.dat", "", 0},
        {"punct.dat", "!?;:,-- \t\r\n", 0},
        {"high.dat", "\x80\x81\xfe\xff \xe9", 0},
        {"wide.txt", QByteArray("H\0i\0 \0t\0h\0e\0r\0e\0", 16), 2},
        {"cut.txt", "keep these CJ$ not these cj$ nor these", 6},
        {"zeros.bin", QByteArray(5000, '\0'), 0},
    };
    for (const auto& row : rows) {
        write(row.name, row.bytes);
        entries << row.name;
    }
    run();
    QByteArray expected;
    qint64 total = 0;
    for (const auto& row : rows) {
        expected += QByteArray(row.name) + " (" + QByteArray::number(row.words) + " Words)\r\n";
        total += row.words;
    }
    expected += "\r\nTotal Words: " + QByteArray::number(total) + "\r\n";
    EXPECT_EQ(report().toStdString(), expected.toStdString());
}

TEST_F(CountJobTest, NamesWithSpacesDotsAndNonAsciiAreWrittenInTheSystemEncoding) {
    const QString odd = QStringLiteral("my notes.v1.final.txt");
    const QString accented = QStringLiteral("café ünï – ß.txt");
    write(odd, "a b");
    write(accented, "c");
    entries = {odd, accented};
    options.trimExtension = true;
    run();
    EXPECT_EQ(QString::fromUtf8(report()),
              QStringLiteral("my notes (2 Words)\r\ncafé ünï – ß (1 Words)"
                             "\r\n\r\nTotal Words: 3\r\n"));
}

// FIFOs, sockets, symbolic links and names of raw bytes: POSIX only.
#ifdef QUORVANE_POSIX_TESTS
// What may stand in a folder by the time a count reaches it. Every entry is opened without
// waiting, anything but a regular file is "not counted" with a reason, and each name keeps
// to one report line.
TEST_F(CountJobTest, HostileFolderContents) {
    enum class Make { File, Fifo, Socket, Folder, Missing, LinkToFile, LinkToFolder, Dangling,
                      LinkLoop, Device };
    const struct {
        const char* label;
        QByteArray name;  // the name's bytes on disk
        Make make;
        const char* line;    // the report line, or nullptr for "not counted"
        const char* reason;  // part of the reason for a file not counted
    } rows[] = {
        {"plain", "plain.txt", Make::File, "plain.txt (2 Words)", nullptr},
        {"latin1 name", "caf\xe9.txt", Make::File, "caf\xef\xbf\xbd.txt (2 Words)", nullptr},
        {"line break in name", "evil\r\nTotal Words: 999999", Make::File,
         "evil??Total Words: 999999 (2 Words)", nullptr},
        {"tab and delete", "a\tb\x7f", Make::File, "a?b? (2 Words)", nullptr},
        {"fifo", "pipe.txt", Make::Fifo, nullptr, "not a regular file"},
        {"socket", "sock.txt", Make::Socket, nullptr, std::strerror(ENXIO)},
        {"folder", "folder.txt", Make::Folder, nullptr, std::strerror(EISDIR)},
        {"removed after listing", "gone.txt", Make::Missing, nullptr, std::strerror(ENOENT)},
        {"link to a file", "link.txt", Make::LinkToFile, "link.txt (2 Words)", nullptr},
        {"link to a folder", "dirlink.txt", Make::LinkToFolder, nullptr, std::strerror(EISDIR)},
        {"dangling link", "dangling.txt", Make::Dangling, nullptr, std::strerror(ENOENT)},
        {"link loop", "loop.txt", Make::LinkLoop, nullptr, std::strerror(ELOOP)},
        {"device", "null.txt", Make::Device, nullptr, "not a regular file"},
    };
    write("target", "two words");
    ASSERT_TRUE(QDir(dir.path()).mkdir("target.d"));
    threads = 1;  // in sequence, so that the yields are one per entry, however busy the machine
    std::vector<int> sockets;
    for (const auto& row : rows) {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + row.name;
        switch (row.make) {
            case Make::File: {
                const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                ASSERT_GE(fd, 0) << row.label;
                ASSERT_EQ(::write(fd, "two words", 9), 9);
                ::close(fd);
                break;
            }
            case Make::Fifo:
                ASSERT_EQ(::mkfifo(path.constData(), 0644), 0);
                break;
            case Make::Socket: {
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
                std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
                sockets.push_back(fd);
                break;
            }
            case Make::Folder:
                ASSERT_EQ(::mkdir(path.constData(), 0755), 0);
                break;
            case Make::Missing:
                break;
            case Make::LinkToFile:
                ASSERT_EQ(::symlink("target", path.constData()), 0);
                break;
            case Make::LinkToFolder:
                ASSERT_EQ(::symlink("target.d", path.constData()), 0);
                break;
            case Make::Dangling:
                ASSERT_EQ(::symlink("nowhere", path.constData()), 0);
                break;
            case Make::LinkLoop:
                ASSERT_EQ(::symlink(row.name.constData(), path.constData()), 0);
                break;
            case Make::Device:
                ASSERT_EQ(::symlink("/dev/null", path.constData()), 0);
                break;
        }
        entries << FileName::fromNative(row.name);
    }
    const CountResult result = run();
    for (const int fd : sockets) {
        ::close(fd);
    }
    // Qt's own removal cannot spell the undecodable names.
    for (const auto& row : rows) {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + row.name;
        ::unlink(path.constData()) == 0 || ::rmdir(path.constData());
    }
    ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
    QByteArray expected;
    QStringList notCounted;
    for (const auto& row : rows) {
        if (row.line != nullptr) {
            expected += QByteArray(row.line) + "\r\n";
        } else {
            notCounted << FileName::fromNative(row.name);
        }
    }
    EXPECT_EQ(report().toStdString(), (expected + "\r\nTotal Words: 10\r\n").toStdString());
    ASSERT_EQ(result.notCounted.size(), notCounted.size());
    int i = 0;
    for (const auto& row : rows) {
        if (row.line == nullptr) {
            SCOPED_TRACE(row.label);
            EXPECT_EQ(result.notCounted[i].name, notCounted[i]);
            EXPECT_TRUE(result.notCounted[i].reason.contains(QLatin1String(row.reason)))
                << result.notCounted[i].reason.toStdString();
            ++i;
        }
    }
    EXPECT_EQ(yields, int(std::size(rows)) + 1);  // and before the report is finished
}
#endif

// However many threads count and however a large file is split among them, every file
// counts what the reference filter counts, and the report is the same byte for byte.
TEST_F(CountJobTest, EveryThreadingGivesTheSequentialCounts) {
    std::mt19937 rng(20261207);
    const QByteArray alphabet("aZ9. .  \r\n\t,$CJcj\x00\xe9\xff-", 22);
    std::map<QString, qint64> expected;
    // Enough files that each worker takes several at a time; the report and a file that
    // is gone sit among them, where the workers' runs must step over them.
    for (int i = 0; i < 100; ++i) {
        if (i == 13) {
            entries << "tallix.txt";
        }
        if (i == 57) {
            entries << "missing.txt";
        }
        const QString name = QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0'));
        // Every 25th file is long enough to be counted in place, mapped; one of them in
        // mapped parts too.
        const int size = (i % 7 == 0)    ? 0
                         : (i == 50)     ? int(2600000 + rng() % 5000)
                         : (i % 25 == 0) ? int(700000 + rng() % 5000)
                                         : int(rng() % (i % 5 == 0 ? 200000 : 5000));
        QByteArray bytes(size, Qt::Uninitialized);
        const bool binary = i % 9 == 4;  // no spaces at all: nowhere to split
        for (char& b : bytes) {
            b = binary ? char('a' + rng() % 3) : alphabet[int(rng() % alphabet.size())];
            if (!binary && rng() % 5000 == 0) {
                b = '$';
            }
        }
        if (i % 6 == 1 && size > 10) {  // a cut near the end, past any part boundary
            bytes.replace(size - 8, 3, "cJ$");
        }
        write(name, bytes);
        entries << name;
        expected[name] = wordCount(TrimASC(cutAtLastCJ(bytes)));
    }
    QByteArray firstReport;
    for (const int threadCount : {1, 2, 3, 5}) {
        for (const qint64 partSize : {qint64{0}, qint64{1024}, qint64{4096}, qint64{600000}}) {
            SCOPED_TRACE(testing::Message() << threadCount << " threads, parts " << partSize);
            CountParts parts;
            parts.threads = threadCount;
            parts.partSize = partSize;
            const CountResult result = run(parts);
            ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
            ASSERT_EQ(result.counted.size(), 100);
            for (const ReportEntry& entry : result.counted) {
                EXPECT_EQ(entry.words, expected[entry.name]) << entry.name.toStdString();
            }
            ASSERT_EQ(result.notCounted.size(), 1);
            EXPECT_EQ(result.notCounted[0].name, "missing.txt");
            if (firstReport.isEmpty()) {
                firstReport = report();
            }
            EXPECT_EQ(report(), firstReport);
        }
    }
}

// Under the Unicode rule too, every threading and every part size counts each file as one
// counter fed the whole file does, whatever its encoding (which its first bytes may name).
TEST_F(CountJobTest, EveryThreadingGivesTheSequentialUnicodeCounts) {
    const QByteArray utf8 = QStringLiteral("Grüße, 世界 — naïve café\tслово ").toUtf8();
    QByteArray utf16("\xff\xfe", 2);
    const QString text16 = QStringLiteral("Ωμέγα 日本語 text ");
    utf16.append(reinterpret_cast<const char*>(text16.utf16()), text16.size() * 2);
    const struct {
        const char* name;
        QByteArray head;
        QByteArray repeated;
        int times;
    } files[] = {
        {"utf8.txt", {}, utf8, 2000},
        {"bom8.txt", "\xef\xbb\xbf", utf8, 1500},
        {"utf16.txt", utf16.left(2), utf16.mid(2), 3000},
        {"small.txt", {}, "two words", 1},
        {"latin1.txt", {}, "caf\xe9 na\xefve ", 4000},
    };
    std::map<QString, qint64> expected;
    entries.clear();
    for (const auto& file : files) {
        QByteArray bytes = file.head;
        for (int i = 0; i < file.times; ++i) {
            bytes += file.repeated;
        }
        write(file.name, bytes);
        entries << file.name;
        UnicodeWordCounter whole;
        whole.feed(bytes.constData(), std::size_t(bytes.size()));
        expected[file.name] = whole.count();
    }
    for (const int threadCount : {1, 2, 3}) {
        for (const qint64 partSize : {qint64{0}, qint64{1000}, qint64{4096}}) {
            SCOPED_TRACE(testing::Message() << threadCount << " threads, parts " << partSize);
            CountRequest asked = request();
            asked.rule = WordRule::Unicode;
            CountParts parts;
            parts.threads = threadCount;
            parts.partSize = partSize;
            parts.clock = &ticking;
            CountJob job(asked, parts);
            const CountResult result = job.run();
            ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
            ASSERT_EQ(result.counted.size(), qsizetype(std::size(files)));
            for (const ReportEntry& entry : result.counted) {
                EXPECT_EQ(entry.words, expected[entry.name]) << entry.name.toStdString();
            }
        }
    }
}

TEST_F(CountJobTest, ThreadedRunsCancelAndFailLikeSequentialOnes) {
    QByteArray big;
    while (big.size() < 3 * 1024 * 1024) {
        big += "many words in a large file ";
    }
    write("tallix.txt", "the earlier report\r\n");
    for (int i = 0; i < 6; ++i) {
        write(QStringLiteral("f%1.txt").arg(i), big);
        entries << QStringLiteral("f%1.txt").arg(i);
    }
    const QStringList before = folderNames();
    // Cancelled in the middle: nothing more is read, the earlier report stays.
    CountParts parts;
    parts.threads = 3;
    parts.partSize = 64 * 1024;
    onYield = [&](int n) {
        if (n == 2) {
            current->cancel();
        }
    };
    EXPECT_EQ(run(parts).outcome, CountResult::Outcome::Cancelled);
    EXPECT_EQ(report(), QByteArray("the earlier report\r\n"));
    EXPECT_EQ(folderNames(), before);

    // A report that fails in the middle stops the workers too.
    onYield = nullptr;
    FailingFormat format(40);
    parts.format = &format;
    const CountResult failed = run(parts);
    EXPECT_EQ(failed.outcome, CountResult::Outcome::ReportFailed);
    EXPECT_EQ(failed.reason, "No space left on device");
    EXPECT_EQ(report(), QByteArray("the earlier report\r\n"));
    EXPECT_EQ(folderNames(), before);
}

TEST(CountJobPaths, NoDoubledSeparator) {
    EXPECT_EQ(CountJob::reportPathFor("/"), "/tallix.txt");
    EXPECT_EQ(CountJob::reportPathFor("/home/u"), "/home/u/tallix.txt");
    EXPECT_EQ(CountJob::reportPathFor("/home/u/"), "/home/u/tallix.txt");
    EXPECT_EQ(CountJob::reportPathFor(""), "tallix.txt");
}

TEST_F(CountJobTest, OptionsAndCaseAreReadForEveryLine) {
    write("first_file.txt", "a");
    write("second_file.txt", "b");
    write("third_file.txt", "c");
    entries = {"first_file.txt", "second_file.txt", "third_file.txt"};
    // In sequence: on a busy machine, waiting for workers adds yields of its own.
    threads = 1;
    onYield = [this](int n) {
        if (n == 1) {
            options.underscoresAsSpaces = true;
            letterCase = LetterCase::Upper;
        } else if (n == 2) {
            options = ReportOptions{};
            letterCase = LetterCase::Title;
        }
    };
    run();
    EXPECT_EQ(report(), QByteArray("first_file.txt (1 Words)\r\n"
                                   "SECOND FILE.TXT (1 WORDS)\r\n"
                                   "Third_file.txt (1 Words)\r\n"
                                   "\r\nTotal Words: 3\r\n"));
}

TEST_F(CountJobTest, DatePieceUsesTheDateSourceAndSurvivesAnUnknownDate) {
    write("a.txt", "a");
    entries = {"a.txt"};
    options.dateCreated = true;
    created = QDateTime(QDate(2007, 10, 24), QTime(14, 3, 5));
    run();
    EXPECT_EQ(report(), "a.txt (Date Created: " + dateCreatedText(created).toUtf8() +
                            ") (1 Words)\r\n\r\nTotal Words: 1\r\n");
    created = QDateTime();
    run();
    EXPECT_EQ(report(), QByteArray("a.txt (Date Created: ) (1 Words)\r\n\r\nTotal Words: 1\r\n"));
}

TEST_F(CountJobTest, FolderAndNamesAreTakenOnce) {
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    write("mine.txt", "one");
    write("also.txt", "two three");
    QFile(other.filePath("theirs.txt")).open(QIODevice::WriteOnly);
    entries = {"mine.txt", "also.txt"};
    CountJob job(request());
    job.setYieldCallback([&] {
        folder = other.path();
        entries = {"theirs.txt", "mine.txt", "mine.txt", "extra.txt"};
    });
    const CountResult result = job.run();
    EXPECT_EQ(result.reportPath, dir.filePath("tallix.txt"));
    EXPECT_EQ(report(), QByteArray("mine.txt (1 Words)\r\nalso.txt (2 Words)\r\n\r\n"
                                   "Total Words: 3\r\n"));
    EXPECT_FALSE(QFile::exists(other.filePath("tallix.txt")));
}

TEST_F(CountJobTest, ReportInTheWayOrMissingFolderFails) {
    enum class Folder { ReportIsADirectory, Missing, Empty, ReportIsALink, ReportIsDangling };
    const struct {
        const char* name;
        Folder folder;
        const char* reason;
    } rows[] = {{"directory_named_like_the_report", Folder::ReportIsADirectory, std::strerror(EISDIR)},
                {"no_such_folder", Folder::Missing, std::strerror(ENOENT)},
                {"no_folder_at_all", Folder::Empty, "no folder is chosen"},
                {"report_is_a_link", Folder::ReportIsALink, "tallix.txt is a symbolic link"},
                {"report_is_dangling", Folder::ReportIsDangling, "tallix.txt is a symbolic link"}};
    QTemporaryDir elsewhere;
    const QByteArray target("somebody else's file\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir here;
        folder = here.path();
        QFile(here.filePath("a.txt")).open(QIODevice::WriteOnly);
        entries = {"a.txt"};
        {
            QFile f(elsewhere.filePath("target"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(target);
        }
        switch (row.folder) {
            case Folder::ReportIsADirectory:
                ASSERT_TRUE(QDir(here.path()).mkdir("tallix.txt"));
                break;
            case Folder::Missing:
                folder = here.filePath("missing");
                break;
            case Folder::Empty:
                folder.clear();
                break;
            case Folder::ReportIsALink:
                ASSERT_TRUE(QFile::link(elsewhere.filePath("target"), here.filePath("tallix.txt")));
                break;
            case Folder::ReportIsDangling:
                ASSERT_TRUE(QFile::link(elsewhere.filePath("new"), here.filePath("tallix.txt")));
                break;
        }
        const QStringList before =
            QDir(here.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const QString reportPath = CountJob::reportPathFor(folder);
        yields = 0;
        const CountResult result = run();
        EXPECT_EQ(result.outcome, CountResult::Outcome::ReportFailed);
        EXPECT_EQ(result.reason, QLatin1String(row.reason));
        EXPECT_EQ(result.reportPath, reportPath);
        // Stopped before counting: with no folder, before any path was made of "".
        EXPECT_EQ(yields, 0);
        EXPECT_EQ(QDir(here.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  before);
        QFile f(elsewhere.filePath("target"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), target);
        EXPECT_FALSE(QFile::exists(elsewhere.filePath("new")));
    }
}

TEST_F(CountJobTest, CancelLeavesTheEarlierReportUntouched) {
    const QByteArray earlier("an earlier report\r\n");
    write("tallix.txt", earlier);
    for (int i = 0; i < 5; ++i) {
        write(QStringLiteral("f%1.txt").arg(i), "words here");
        entries << QStringLiteral("f%1.txt").arg(i);
    }
    const QStringList before = folderNames();
    onYield = [&](int n) {
        if (n == 3) {
            current->cancel();
        }
    };
    const CountResult result = run();
    EXPECT_EQ(result.outcome, CountResult::Outcome::Cancelled);
    EXPECT_EQ(yields, 3);
    EXPECT_EQ(report(), earlier);
    EXPECT_EQ(folderNames(), before);
}

// Reads through a source that takes a known time per read, on a clock that moves only
// with them: the job must yield before kYieldIntervalMs have passed since the last yield,
// whatever the file, and stop reading at once when cancelled there.
TEST_F(CountJobTest, YieldsInsideAFileOnTimeAndStopsThereWhenCancelled) {
    QByteArray text;
    while (text.size() < 2 * 1024 * 1024) {
        text += "lorem ipsum dolor sit amet, ";
    }
    write("big.txt", text);
    entries = {"big.txt"};
    const struct {
        qint64 msPerRead;
        bool shortReads;
    } rows[] = {{0, false}, {1, false}, {3, false}, {4, true}, {9, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.msPerRead);
        FakeClock clock;
        ScriptedSource source(clock);
        source.msPerRead = row.msPerRead;
        source.shortReads = row.shortReads;
        qint64 lastYield = 0;
        qint64 longestGap = 0;
        yields = 0;
        onYield = [&](int) {
            longestGap = qMax(longestGap, clock.now - lastYield);
            lastYield = clock.now;
        };
        qint64 lastBytes = 0;
        CountJob job(request(), {borrow(source), &clock, nullptr, 1});
        job.setProgressCallback([&](const CountProgress& p) {
            EXPECT_GE(p.bytesRead, lastBytes);
            lastBytes = p.bytesRead;
        });
        job.setYieldCallback([&] { onYield(++yields); });
        const CountResult result = job.run();
        EXPECT_EQ(result.total, text.count(' '));
        EXPECT_EQ(lastBytes, text.size());
        EXPECT_LE(longestGap, qint64{CountJob::kYieldIntervalMs} * 1000 * 1000);
        if (row.msPerRead >= 5) {
            EXPECT_EQ(yields, source.reads);  // every read is worth a yield
        }
    }

    // Cancelled at the first yield inside the file: no further pieces are read.
    FakeClock clock;
    ScriptedSource source(clock);
    source.msPerRead = 2;
    CountJob job(request(), {borrow(source), &clock, nullptr, 1});
    int cancelYields = 0;
    job.setYieldCallback([&] {
        ++cancelYields;
        job.cancel();
    });
    EXPECT_EQ(job.run().outcome, CountResult::Outcome::Cancelled);
    EXPECT_EQ(cancelYields, 1);
    EXPECT_EQ(source.reads, 3);  // 6 ms on the clock: past half the interval
}

#ifdef QUORVANE_POSIX_TESTS
// Handing the report over can take long: a slow or remote disk, or, as here, a FIFO whose
// reader comes late. The host keeps its turns meanwhile, and a cancel then no longer
// stops a run whose report is complete.
TEST_F(CountJobTest, TheHostKeepsItsTurnsWhileTheReportIsHandedOver) {
    write("a.txt", "three words here");
    entries = {"a.txt"};
    const QString fifo = dir.filePath("report.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    CountRequest asked = request();
    asked.reportPath = fifo;
    asked.reportTarget = ReportFile::Target::UserNamed;
    CountJob job(asked);

    QByteArray received;
    int finishingTurns = 0;
    std::promise<void> read;
    job.setYieldCallback([&] {
        if (!job.isFinishing() || finishingTurns++ > 0) {
            return;
        }
        job.cancel();
        QFile reader(fifo);  // the report's writer waits for this on its own thread
        ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
        received = reader.readAll();
        read.set_value();
    });
    // Were the report handed over on the host's thread, nobody would come to read it.
    std::thread rescue([&, done = read.get_future()] {
        if (done.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
            QFile reader(fifo);
            if (reader.open(QIODevice::ReadOnly)) {
                reader.readAll();
            }
        }
    });
    const CountResult result = job.run();
    if (finishingTurns == 0) {
        read.set_value();
    }
    rescue.join();

    EXPECT_EQ(result.outcome, CountResult::Outcome::Completed);
    EXPECT_GE(finishingTurns, 1);
    EXPECT_FALSE(job.isFinishing());
    EXPECT_EQ(received, QByteArray("a.txt (3 Words)\r\n\r\nTotal Words: 3\r\n"));
}
#endif

TEST_F(CountJobTest, AReportWriteFailingAfterTheStartKeepsTheEarlierReport) {
    write("tallix.txt", "the earlier report\r\n");
    for (int i = 0; i < 6; ++i) {
        write(QStringLiteral("f%1.txt").arg(i), "two words");
        entries << QStringLiteral("f%1.txt").arg(i);
    }
    const QStringList before = folderNames();
    // Room for some lines, for all lines but the total, and for nothing.
    for (const qint64 room : {40, 6 * 19, 0}) {
        SCOPED_TRACE(room);
        FailingFormat format(room);
        const CountResult result = run({{}, nullptr, &format});
        EXPECT_EQ(result.outcome, CountResult::Outcome::ReportFailed);
        EXPECT_EQ(result.reason, "No space left on device");
        EXPECT_EQ(result.reportPath, dir.filePath("tallix.txt"));
        EXPECT_LE(format.device.written.size(), room);
        EXPECT_EQ(report(), QByteArray("the earlier report\r\n"));
        EXPECT_EQ(folderNames(), before);
    }
}

TEST_F(CountJobTest, AReadFailingMidFileLeavesThatFileOutAndGoesOn) {
    write("a.txt", QByteArray(300 * 1024, 'a').replace(1000, 1, " "));
    write("b.txt", "two words");
    entries = {"a.txt", "b.txt"};
    FakeClock clock;
    ScriptedSource source(clock);
    source.failAfterReads = 2;
    const CountResult result = run({borrow(source), &clock, nullptr, 1});
    ASSERT_EQ(result.notCounted.size(), 1);
    EXPECT_EQ(result.notCounted[0].name, "a.txt");
    EXPECT_EQ(result.notCounted[0].reason, "Input/output error");
    EXPECT_EQ(report(), QByteArray("b.txt (2 Words)\r\n\r\nTotal Words: 2\r\n"));
}

// A large file that shrinks while it is counted, mapped whole or in parts or read in
// parts, is left out with the reason; the others are counted.
TEST_F(CountJobTest, AFileThatShrinksWhileCountedIsNotCounted) {
    const struct {
        const char* name;
        int size;
        qint64 partSize;
        ReadMethod method;
    } rows[] = {
        {"mapped whole", 600 * 1024, 0, ReadMethod::Map},
        {"mapped in parts", 2600 * 1024, 600 * 1024, ReadMethod::Map},
        {"read in parts", 2600 * 1024, 600 * 1024, ReadMethod::Read},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QByteArray big;
        while (big.size() < row.size) {
            big += "word ";
        }
        write("big.txt", big);
        write("small.txt", "two words");
        entries = {"big.txt", "small.txt"};
        CountParts parts;
        parts.threads = 2;
        parts.partSize = row.partSize;
        parts.readMethod = row.method;
        parts.makeSource = [] { return std::make_unique<ShrinkingWhenCounted>(); };
        const CountResult result = run(parts);
        ASSERT_EQ(result.outcome, CountResult::Outcome::Completed);
        ASSERT_EQ(result.notCounted.size(), 1);
        EXPECT_EQ(result.notCounted[0].name, "big.txt");
        EXPECT_EQ(result.notCounted[0].reason, "the file changed while it was counted");
        EXPECT_EQ(report(), QByteArray("small.txt (2 Words)\r\n\r\nTotal Words: 2\r\n"));
    }
}

}  // namespace
}  // namespace quorvane
