#include "about/modpublic.h"
#include "platform/DesktopOpener.h"
#include "platform/MessageBox.h"
#include "platform/ProgramStarter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <vector>

namespace quorvane {
namespace {

struct FakeOpener : DesktopOpener {
    bool succeeds = false;
    bool systemOpenWith = false;
    QStringList lastCall;
    int lastShow = -1;
    int calls = 0;
    bool open(const QString& operation, const QString& target, const QString& parameters,
              const QString& directory, int showCommand) override {
        ++calls;
        lastCall = {operation, target, parameters, directory};
        lastShow = showCommand;
        return succeeds;
    }
    bool hasSystemOpenWith() const override { return systemOpenWith; }
};

struct FakeMessages : MessageBox {
    std::vector<std::pair<QString, QString>> shown;
    void show(const QString& text, const QString& title) override {
        shown.emplace_back(text, title);
    }
};

struct FakeStarter : ProgramStarter {
    std::vector<std::pair<QString, QStringList>> programs;
    std::vector<std::pair<QString, int>> commandLines;
    bool startCommandLine(const QString& commandLine, int showCommand) override {
        commandLines.emplace_back(commandLine, showCommand);
        return true;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        programs.emplace_back(program, arguments);
        return true;
    }
    bool startEditor(const QString&) override { return true; }
};

struct OpenCase {
    const char* name;
    bool openerSucceeds;
    bool systemOpenWith;  // the system has an Open With dialog of its own
    QString target;
    QString picked;  // what the user picks in the fallback, after shellopen returned; empty:
                     // the dialog was cancelled
};

class ShellopenTest : public ::testing::TestWithParam<OpenCase> {
protected:
    FakeOpener opener;
    FakeMessages messages;
    FakeStarter starter;
    QStringList chooserTargets;
    modpublic::ProgramChosen pendingPick;
    // Like the real dialog, the chooser only remembers whom to tell; the user decides later.
    const modpublic::Services services{
        &opener, &messages, &starter, [this](const QString& target, modpublic::ProgramChosen done) {
            chooserTargets << target;
            pendingPick = std::move(done);
        }};
};

TEST_P(ShellopenTest, FallsBackOnlyWhenTheDesktopCannotOpen) {
    const OpenCase& c = GetParam();
    opener.succeeds = c.openerSucceeds;
    opener.systemOpenWith = c.systemOpenWith;

    modpublic::shellopen(services, "Open", c.target, "", "", 1);

    ASSERT_EQ(opener.calls, 1);
    EXPECT_EQ(opener.lastCall, (QStringList{"Open", c.target, "", ""}));
    EXPECT_EQ(opener.lastShow, 1);
    if (c.openerSucceeds) {
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_TRUE(chooserTargets.isEmpty());
        EXPECT_TRUE(starter.programs.empty());
        EXPECT_TRUE(starter.commandLines.empty());
        return;
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, "Couldn't load the default application");
    EXPECT_EQ(messages.shown[0].second, "Quorvane");
    if (c.systemOpenWith) {
        ASSERT_EQ(starter.commandLines.size(), 1u);
        EXPECT_EQ(starter.commandLines[0].first,
                  "rundll32.exe shell32.dll,OpenAs_RunDLL " + c.target);
        EXPECT_EQ(starter.commandLines[0].second, 1);
        EXPECT_TRUE(chooserTargets.isEmpty());
        EXPECT_TRUE(starter.programs.empty());
        return;
    }
    EXPECT_EQ(chooserTargets, QStringList{c.target});
    // shellopen came back while the user is still choosing.
    ASSERT_TRUE(pendingPick);
    EXPECT_TRUE(starter.programs.empty());
    // A cancelled dialog never calls back, so then nothing is ever started.
    if (!c.picked.isEmpty()) {
        pendingPick(c.picked);
        ASSERT_EQ(starter.programs.size(), 1u);
        EXPECT_EQ(starter.programs[0].first, c.picked);
        EXPECT_EQ(starter.programs[0].second, QStringList{c.target});
    }
    EXPECT_TRUE(starter.commandLines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ShellopenTest,
    ::testing::Values(
        OpenCase{"opens", true, false, kDownloadPage, "/usr/bin/firefox"},
        OpenCase{"opens_where_the_system_has_open_with", true, true, kDownloadPage, ""},
        OpenCase{"fails_program_picked", false, false, kDownloadPage, "/usr/bin/firefox"},
        OpenCase{"fails_nothing_picked", false, false, kDownloadPage, ""},
        OpenCase{"fails_awkward_target", false, false, "/tmp/my file \"1\";rm -rf x.txt",
                 "/usr/bin/mousepad"},
        OpenCase{"fails_system_open_with", false, true, "/tmp/my file \"1\";rm -rf x.txt", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShellopenPassThrough, HandsEveryArgumentToTheDesktopUnchanged) {
    FakeOpener opener;
    opener.succeeds = true;
    modpublic::shellopen({&opener, nullptr, nullptr, {}}, "print", "/tmp/a b.txt", "-x \"y\"",
                         "/tmp", 3);
    EXPECT_EQ(opener.lastCall, (QStringList{"print", "/tmp/a b.txt", "-x \"y\"", "/tmp"}));
    EXPECT_EQ(opener.lastShow, 3);
}

// The real dialog, on the offscreen platform: the call must come back with the dialog still
// open, and only a picked file may reach the caller.
TEST(ProgramDialog, ShowsWithoutWaitingAndReportsOnlyAPick) {
    int argc = 1;
    char name[] = "about_shellopen_test";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    const QString program = QCoreApplication::applicationFilePath();

    const struct {
        const char* name;
        bool pick;
    } rows[] = {{"picked", true}, {"cancelled", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QStringList picked;
        // Runs only if something spins the event loop; a dialog that waits for the user
        // does, and is closed here so that the test fails instead of hanging.
        bool loopRanInside = false;
        QObject timerOwner;
        QTimer::singleShot(0, &timerOwner, [&loopRanInside] {
            loopRanInside = true;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QFileDialog*>(w)) {
                    d->reject();
                }
            }
        });

        modpublic::chooseProgramWithDialog("/tmp/a b.txt",
                                           [&picked](const QString& p) { picked << p; });

        EXPECT_FALSE(loopRanInside);
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<QFileDialog*>(w); d != nullptr && d->isVisible()) {
                EXPECT_EQ(dialog, nullptr) << "more than one dialog";
                dialog = d;
            }
        }
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Open With");
        EXPECT_TRUE(picked.isEmpty());

        const QPointer<QFileDialog> alive(dialog);
        if (row.pick) {
            dialog->selectFile(program);
            static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        } else {
            dialog->reject();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(alive.isNull()) << "the closed dialog was left behind";
        EXPECT_EQ(picked, row.pick ? QStringList{program} : QStringList{});
    }
}

// Nothing of one call's services stays behind for the next.
TEST(ShellopenServices, EachCallUsesOnlyTheServicesItIsGiven) {
    FakeOpener first;
    FakeOpener second;
    FakeMessages firstMessages;
    FakeMessages secondMessages;
    FakeStarter starter;
    const auto noChoice = [](const QString&, modpublic::ProgramChosen) {};
    modpublic::shellopen({&first, &firstMessages, &starter, noChoice}, "Open", "one", "", "", 1);
    modpublic::shellopen({&second, &secondMessages, &starter, noChoice}, "Open", "two", "", "", 1);
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(first.lastCall.value(1), "one");
    EXPECT_EQ(second.calls, 1);
    EXPECT_EQ(second.lastCall.value(1), "two");
    EXPECT_EQ(firstMessages.shown.size(), 1u);
    EXPECT_EQ(secondMessages.shown.size(), 1u);
}

}  // namespace
}  // namespace quorvane
