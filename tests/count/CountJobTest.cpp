#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include "CountJob.h"
#include "QuorvaneVersion.h"

namespace quorvane {
namespace {

// A host over a real folder that records what the job asks of it, in order.
class TestHost : public CountHost {
public:
    QString folder;
    QStringList entries;
    ReportOptions options;
    short editorState = 0;
    QString caseSetting;
    QDateTime created;

    QStringList calls;
    QStringList messages;
    QStringList titles;
    int yields = 0;
    std::function<void(int)> onYield;  // gets the number of the yield, from 1

    QString fileListPath() const override { return folder; }
    QStringList fileListEntries() const override { return entries; }
    void refreshFileList() override { calls << "refresh"; }
    void setCountButtonEnabled(bool enabled) override { calls << (enabled ? "enable" : "disable"); }
    void startstatus() override { calls << "startstatus"; }
    void endstatus() override { calls << "endstatus"; }
    ReportOptions reportOptions() const override { return options; }
    short editorOptionState() const override { return editorState; }
    QString readCaseSetting() const override { return caseSetting; }
    QDateTime dateCreated(const QString&) const override { return created; }
    void showMessage(const QString& prompt, const QString& title) override {
        calls << "message";
        messages << prompt;
        titles << title;
    }
    void startEditor(const QString& reportPath) override { calls << "editor " + reportPath; }
    void yieldToEvents() override {
        ++yields;
        if (onYield) {
            onYield(yields);
        }
    }
};

class CountJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        host.folder = dir.path();
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
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    TestHost host;
};

TEST_F(CountJobTest, EmptyFolderWritesOnlyTheTotal) {
    CountJob job(host);
    const CountResult result = job.run();
    EXPECT_EQ(result.outcome, CountResult::Outcome::Completed);
    EXPECT_EQ(result.reportPath, dir.filePath("tallix.txt"));
    EXPECT_EQ(report(), QByteArray("\r\nTotal Words: 0\r\n"));
    EXPECT_EQ(host.calls,
              QStringList({"disable", "startstatus", "refresh", "enable", "endstatus", "message"}));
    EXPECT_EQ(host.messages, QStringList{"done \"output.txt\" File Created!"});
    EXPECT_EQ(host.titles, QStringList{"Job Done"});
    EXPECT_EQ(folderNames(), QStringList{"tallix.txt"});  // no temporary file left behind
}

TEST_F(CountJobTest, SkipsTheReportAndNumbersWithGaps) {
    write("a.txt", "one two three");
    write("b.txt", "");
    write("tallix.txt", "an earlier report");
    write("Tallix.TXT", "not the report");
    write("c.txt", "x,y z");
    host.entries = {"a.txt", "b.txt", "tallix.txt", "Tallix.TXT", "", "c.txt"};
    host.options.numlist = 1;
    const CountResult result = CountJob(host).run();
    EXPECT_EQ(report(), QByteArray("1. a.txt (3 Words)\r\n"
                                   "2. b.txt (0 Words)\r\n"
                                   "4. Tallix.TXT (3 Words)\r\n"
                                   "6. c.txt (2 Words)\r\n"
                                   "\r\n"
                                   "Total Words: 8\r\n"));
    EXPECT_EQ(result.total, 8);
    EXPECT_EQ(result.filesCounted, 4);
    EXPECT_EQ(host.yields, 6);  // after every entry, skipped ones included
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
        host.entries << row.name;
    }
    CountJob(host).run();
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
    host.entries = {odd, accented};
    host.options.remext = 1;
    CountJob(host).run();
    EXPECT_EQ(QString::fromUtf8(report()),
              QStringLiteral("my notes (2 Words)\r\ncafé ünï – ß (1 Words)"
                             "\r\n\r\nTotal Words: 3\r\n"));
}

TEST_F(CountJobTest, UnreadableEntriesGetNoLineAndAreNamed) {
    write("a.txt", "one");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.txt"));
    host.entries = {"a.txt", "gone.txt", "folder.txt", "z.txt"};
    write("z.txt", "two words");
    host.options.numlist = 1;
    const CountResult result = CountJob(host).run();
    EXPECT_EQ(result.outcome, CountResult::Outcome::Completed);
    EXPECT_EQ(result.notCounted, QStringList({"gone.txt", "folder.txt"}));
    EXPECT_EQ(report(), QByteArray("1. a.txt (1 Words)\r\n4. z.txt (2 Words)\r\n\r\n"
                                   "Total Words: 3\r\n"));
    EXPECT_EQ(host.messages, QStringList{"done \"output.txt\" File Created!\n\nNot counted:\n"
                                         "gone.txt\nfolder.txt"});
    EXPECT_EQ(host.titles, QStringList{"Job Done"});
}

TEST(CountJobMessage, ClosingMessageListsTwentyNames) {
    QStringList names;
    for (int i = 1; i <= 23; ++i) {
        names << QStringLiteral("f%1").arg(i);
    }
    const QString message = CountJob::closingMessage(names);
    EXPECT_TRUE(message.startsWith("done \"output.txt\" File Created!\n\nNot counted:\nf1\nf2\n"));
    EXPECT_TRUE(message.endsWith("\nf19\nf20\nand 3 more"));
    EXPECT_EQ(CountJob::closingMessage(names.mid(0, 20)).count(u'\n'), 22);
}

TEST(CountJobPaths, NoDoubledSeparator) {
    EXPECT_EQ(CountJob::reportPathFor("/"), "/tallix.txt");
    EXPECT_EQ(CountJob::reportPathFor("/home/u"), "/home/u/tallix.txt");
    EXPECT_EQ(CountJob::entryPath("/home/u/", "a b.txt"), "/home/u/a b.txt");
    EXPECT_EQ(CountJob::entryPath("", "a.txt"), "a.txt");
}

TEST_F(CountJobTest, OptionsAndCaseAreReadForEveryLine) {
    write("first_file.txt", "a");
    write("second_file.txt", "b");
    write("third_file.txt", "c");
    host.entries = {"first_file.txt", "second_file.txt", "third_file.txt"};
    host.caseSetting = "not a number";
    host.onYield = [this](int n) {
        if (n == 1) {
            host.options.remunderscore = 2;
            host.caseSetting = " 1 ";
        } else if (n == 2) {
            host.options = ReportOptions{};
            host.caseSetting = "3";
        }
    };
    CountJob(host).run();
    EXPECT_EQ(report(), QByteArray("first_file.txt (1 Words)\r\n"
                                   "SECOND FILE.TXT (1 WORDS)\r\n"
                                   "Third_file.txt (1 Words)\r\n"
                                   "\r\nTotal Words: 3\r\n"));
}

TEST_F(CountJobTest, DatePieceUsesTheHostsDateAndSurvivesAnUnknownDate) {
    write("a.txt", "a");
    host.entries = {"a.txt"};
    host.options.datecreated = 1;
    host.created = QDateTime(QDate(2007, 10, 24), QTime(14, 3, 5));
    CountJob(host).run();
    EXPECT_EQ(report(), "a.txt (Date Created: " + dateCreatedText(host.created).toUtf8() +
                            ") (1 Words)\r\n\r\nTotal Words: 1\r\n");
    host.created = QDateTime();
    CountJob(host).run();
    EXPECT_EQ(report(), QByteArray("a.txt (Date Created: ) (1 Words)\r\n\r\nTotal Words: 1\r\n"));
}

TEST_F(CountJobTest, FolderAndNamesAreTakenOnce) {
    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    write("mine.txt", "one");
    write("also.txt", "two three");
    QFile(other.filePath("theirs.txt")).open(QIODevice::WriteOnly);
    host.entries = {"mine.txt", "also.txt"};
    host.onYield = [&](int) {
        host.folder = other.path();
        host.entries = {"theirs.txt", "mine.txt", "mine.txt", "extra.txt"};
    };
    const CountResult result = CountJob(host).run();
    EXPECT_EQ(result.reportPath, dir.filePath("tallix.txt"));
    EXPECT_EQ(report(), QByteArray("mine.txt (1 Words)\r\nalso.txt (2 Words)\r\n\r\n"
                                   "Total Words: 3\r\n"));
    EXPECT_FALSE(QFile::exists(other.filePath("tallix.txt")));
}

TEST_F(CountJobTest, EditorStartsOnlyForCheckedAfterTheMessage) {
    for (const short state : {0, 1, 2}) {
        host.calls.clear();
        host.editorState = state;
        CountJob(host).run();
        const QString editor = "editor " + dir.filePath("tallix.txt");
        if (state == 1) {
            ASSERT_EQ(host.calls.size(), 7);
            EXPECT_EQ(host.calls.at(5), "message");
            EXPECT_EQ(host.calls.at(6), editor);
        } else {
            EXPECT_FALSE(host.calls.contains(editor)) << state;
        }
    }
}

TEST_F(CountJobTest, ReportInTheWayOrMissingFolderFails) {
    enum class Folder { ReportIsADirectory, Missing, Empty };
    const struct {
        const char* name;
        Folder folder;
    } rows[] = {{"directory_named_like_the_report", Folder::ReportIsADirectory},
                {"no_such_folder", Folder::Missing},
                {"no_folder_at_all", Folder::Empty}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        host.calls.clear();
        host.messages.clear();
        host.titles.clear();
        host.editorState = 1;
        write("a.txt", "one");
        host.entries = {"a.txt"};
        switch (row.folder) {
            case Folder::ReportIsADirectory:
                ASSERT_TRUE(QDir(dir.path()).mkdir("tallix.txt"));
                host.folder = dir.path();
                break;
            case Folder::Missing:
                host.folder = dir.filePath("missing");
                break;
            case Folder::Empty:
                host.folder.clear();
                break;
        }
        const bool rootReportBefore = QFile::exists("/tallix.txt");
        const QString reportPath = CountJob::reportPathFor(host.folder);
        const CountResult result = CountJob(host).run();
        EXPECT_EQ(result.outcome, CountResult::Outcome::ReportFailed);
        EXPECT_EQ(host.calls,
                  QStringList({"disable", "startstatus", "enable", "endstatus", "message"}));
        ASSERT_EQ(host.messages.size(), 1);
        EXPECT_TRUE(host.messages[0].contains(reportPath)) << host.messages[0].toStdString();
        EXPECT_EQ(host.messages[0], result.error);
        // Carries the reason after the path.
        EXPECT_GT(result.error.size(), CountJob::reportFailureMessage(reportPath, "").size());
        EXPECT_EQ(host.titles, QStringList{version::kAppTitle});
        EXPECT_EQ(QFile::exists("/tallix.txt"), rootReportBefore);
    }
    EXPECT_EQ(folderNames(), QStringList({"a.txt", "tallix.txt"}));
}

TEST_F(CountJobTest, CancelLeavesTheEarlierReportUntouched) {
    const QByteArray earlier("an earlier report\r\n");
    write("tallix.txt", earlier);
    for (int i = 0; i < 5; ++i) {
        write(QStringLiteral("f%1.txt").arg(i), "words here");
        host.entries << QStringLiteral("f%1.txt").arg(i);
    }
    const QStringList before = folderNames();
    CountJob job(host);
    host.onYield = [&](int n) {
        if (n == 3) {
            job.cancel();
        }
    };
    const CountResult result = job.run();
    EXPECT_EQ(result.outcome, CountResult::Outcome::Cancelled);
    EXPECT_TRUE(job.isCancelled());
    EXPECT_EQ(host.yields, 3);
    EXPECT_EQ(report(), earlier);
    EXPECT_EQ(folderNames(), before);
    EXPECT_EQ(host.calls, QStringList({"disable", "startstatus", "enable", "endstatus"}));
}

TEST_F(CountJobTest, YieldsInsideALargeFileAndStopsThereWhenCancelled) {
    QByteArray text;
    while (text.size() < 2 * 1024 * 1024) {
        text += "lorem ipsum dolor sit amet, ";
    }
    write("big.txt", text);
    host.entries = {"big.txt"};
    CountJob job(host);
    // A slow disk: every read buffer takes at least 3 ms. Only that lower bound is relied
    // on, so a loaded machine cannot fail the test, only make the job yield more often.
    constexpr int kBufferMs = 3;
    qint64 lastBytes = 0;
    int buffersSinceYield = 0;
    int mostBuffersBetweenYields = 0;
    job.setProgressCallback([&](const CountProgress& p) {
        EXPECT_GE(p.bytesRead, lastBytes);
        EXPECT_EQ(p.filesTotal, 1);
        if (p.bytesRead > lastBytes) {
            mostBuffersBetweenYields = qMax(mostBuffersBetweenYields, ++buffersSinceYield);
            QThread::msleep(kBufferMs);
        }
        lastBytes = p.bytesRead;
    });
    host.onYield = [&](int) { buffersSinceYield = 0; };
    const CountResult result = job.run();
    EXPECT_EQ(result.total, text.count(' '));
    EXPECT_EQ(lastBytes, text.size());
    EXPECT_GE(mostBuffersBetweenYields, 1);
    // More buffers than fit into the interval mean the window was held too long.
    EXPECT_LE(mostBuffersBetweenYields, (CountJob::kYieldIntervalMs + kBufferMs - 1) / kBufferMs);

    // Cancelled at the first yield inside the file: no further buffers are read.
    host.yields = 0;
    lastBytes = 0;
    host.onYield = [&](int) { job.cancel(); };
    EXPECT_EQ(job.run().outcome, CountResult::Outcome::Cancelled);
    EXPECT_EQ(host.yields, 1);
    EXPECT_LT(lastBytes, text.size());
}

}  // namespace
}  // namespace quorvane
