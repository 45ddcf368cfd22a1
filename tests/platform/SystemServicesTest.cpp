#include "platform/CreationDates.h"
#include "platform/DesktopOpener.h"
#include "platform/EventLoop.h"
#include "platform/FileContentSource.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStarter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/Eventually.h"

namespace quorvane {
namespace {

TEST(CreationDates, RealMissingAndEmpty) {
    QTemporaryDir dir;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    QFile file(dir.filePath("made now.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QDateTime created = CreationDates().dateCreated(file.fileName());
    ASSERT_TRUE(created.isValid());
    EXPECT_EQ(created.timeSpec(), Qt::LocalTime);
    EXPECT_GE(created, before);
    EXPECT_LE(created, QDateTime::currentDateTime().addSecs(2));
    EXPECT_FALSE(CreationDates().dateCreated(dir.filePath("missing")).isValid());
    EXPECT_FALSE(CreationDates().dateCreated(QString()).isValid());
}

class StarterTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
    SystemProgramStarter starter;
};

TEST_F(StarterTest, CommandLinesAreSplitAtBlanksQuotesGrouping) {
    const struct {
        QString line;
        bool started;
        QStringList created;
    } rows[] = {
        {"touch " + path("one"), true, {"one"}},
        {"touch \"" + path("two words") + "\"   " + path("three"), true, {"two words", "three"}},
        {"", false, {}},
        {"   ", false, {}},
        {"/nonexistent/program " + path("x"), false, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(starter.startCommandLine(row.line, 1), row.started) << qPrintable(row.line);
        for (const QString& name : row.created) {
            EXPECT_TRUE(test::eventually([&] { return QFile::exists(dir.filePath(name)); }))
                << qPrintable(name);
        }
    }
}

TEST_F(StarterTest, ProgramsGetTheirArgumentsAsTheyAre) {
    EXPECT_TRUE(starter.startProgram("touch", {path("a b;c")}));
    EXPECT_TRUE(test::eventually([&] { return QFile::exists(path("a b;c")); }));
    EXPECT_FALSE(starter.startProgram(QString(), {}));
    EXPECT_FALSE(starter.startProgram("/nonexistent/program", {}));
}

TEST_F(StarterTest, EditorIsTheDesktopOpenerFoundOnPath) {
    const QByteArray oldPath = qgetenv("PATH");
    ASSERT_TRUE(QDir(dir.path()).mkdir("bin"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("empty"));
    QFile opener(path("bin/xdg-open"));
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write(
        "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
        "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n");
    opener.close();
    opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    qputenv("PATH", QFile::encodeName(path("bin")) + ":/usr/bin:/bin");
    const QString report = path("my folder/tallix.txt");
    EXPECT_TRUE(starter.startEditor(report));
    EXPECT_TRUE(test::eventually([&] { return QFile::exists(path("bin/opened")); }));
    QFile opened(path("bin/opened"));
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(opened.readAll()), report);

    qputenv("PATH", QFile::encodeName(path("empty")));
    EXPECT_FALSE(starter.startEditor(report));
    qputenv("PATH", oldPath);
}

#ifdef QUORVANE_POSIX_TESTS
// A plain file mapped into memory is read in place. One that shrinks under the reader
// makes that read fail, as often as it happens, and the program goes on.
TEST(FileContentSourceMapping, ReadsInPlaceAndSurvivesAFileThatShrinks) {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.txt");
    QByteArray bytes(3 * 1024 * 1024 + 123, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bytes[i] = char('a' + i % 26);
    }
    {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }
    const MappedBytes::Take sum = [](void* context, const char* data, std::size_t size) {
        volatile qint64& total = *static_cast<volatile qint64*>(context);
        for (std::size_t i = 0; i < size; ++i) {
            total = total + data[i];
        }
    };
    const auto sumOf = [](const QByteArray& part) {
        qint64 total = 0;
        for (const char c : part) {
            total += c;
        }
        return total;
    };

    FileContentSource source;
    EXPECT_EQ(source.mapAt(0, 4096), nullptr);  // nothing open
    ASSERT_TRUE(source.open(path));
    EXPECT_EQ(source.mapAt(0, 0), nullptr);
    // A stretch that starts inside a page starts where it was asked to.
    const std::unique_ptr<MappedBytes> stretch = source.mapAt(5000, 100000);
    ASSERT_NE(stretch, nullptr);
    volatile qint64 total = 0;
    EXPECT_TRUE(stretch->visit(10, 1000, sum, const_cast<qint64*>(&total)));
    EXPECT_EQ(total, sumOf(bytes.mid(5010, 1000)));

    const std::unique_ptr<MappedBytes> whole = source.mapAt(0, bytes.size());
    ASSERT_NE(whole, nullptr);
    ASSERT_TRUE(QFile::resize(path, 4096));
    EXPECT_FALSE(whole->visit(1024 * 1024, 1024 * 1024, sum, const_cast<qint64*>(&total)));
    total = 0;
    EXPECT_TRUE(whole->visit(0, 4096, sum, const_cast<qint64*>(&total)));  // still there
    EXPECT_EQ(total, sumOf(bytes.left(4096)));
    EXPECT_FALSE(whole->visit(2 * 1024 * 1024, 8192, sum, const_cast<qint64*>(&total)));
    EXPECT_FALSE(stretch->visit(50000, 1000, sum, const_cast<qint64*>(&total)));
}
#endif

TEST(WithoutApplication, DesktopServicesDeclineQuietly) {
    EXPECT_FALSE(SystemDesktopOpener().open("Open", "http://plumwick.example/", "", "", 1));
    WidgetMessageBox().show("text", "title");
    EventLoop::yield();
}

}  // namespace
}  // namespace quorvane
