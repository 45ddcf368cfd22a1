#include "CreationDates.h"
#include "DesktopOpener.h"
#include "EventLoop.h"
#include "MessageBox.h"
#include "ProgramStarter.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace quorvane {
namespace {

// Started programs run detached: wait for their traces instead of for them.
bool eventually(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

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
            EXPECT_TRUE(eventually([&] { return QFile::exists(dir.filePath(name)); }))
                << qPrintable(name);
        }
    }
}

TEST_F(StarterTest, ProgramsGetTheirArgumentsAsTheyAre) {
    EXPECT_TRUE(starter.startProgram("touch", {path("a b;c")}));
    EXPECT_TRUE(eventually([&] { return QFile::exists(path("a b;c")); }));
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
    EXPECT_TRUE(eventually([&] { return QFile::exists(path("bin/opened")); }));
    QFile opened(path("bin/opened"));
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(opened.readAll()), report);

    qputenv("PATH", QFile::encodeName(path("empty")));
    EXPECT_FALSE(starter.startEditor(report));
    qputenv("PATH", oldPath);
}

TEST(WithoutApplication, DesktopServicesDeclineQuietly) {
    EXPECT_FALSE(SystemDesktopOpener().open("Open", "http://plumwick.example/", "", "", 1));
    WidgetMessageBox().show("text", "title");
    EventLoop::yield();
}

}  // namespace
}  // namespace quorvane
