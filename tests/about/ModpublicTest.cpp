#include "DesktopOpener.h"
#include "MessageBox.h"
#include "ProgramStarter.h"
#include "modpublic.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

namespace quorvane {
namespace {

struct FakeOpener : DesktopOpener {
    bool succeeds = false;
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
    QString target;
    QString picked;  // what the user picks in the fallback; empty: cancelled
};

class ShellopenTest : public ::testing::TestWithParam<OpenCase> {
protected:
    void SetUp() override {
        modpublic::setServices({&opener, &messages, &starter, [this](const QString& target) {
                                    chooserTargets << target;
                                    return GetParam().picked;
                                }});
    }
    void TearDown() override { modpublic::setServices({}); }

    FakeOpener opener;
    FakeMessages messages;
    FakeStarter starter;
    QStringList chooserTargets;
};

TEST_P(ShellopenTest, FallsBackOnlyWhenTheDesktopCannotOpen) {
    const OpenCase& c = GetParam();
    opener.succeeds = c.openerSucceeds;

    modpublic::shellopen("Open", c.target, "", "", 1);

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
#ifdef _WIN32
    ASSERT_EQ(starter.commandLines.size(), 1u);
    EXPECT_EQ(starter.commandLines[0].first, "rundll32.exe shell32.dll,OpenAs_RunDLL " + c.target);
    EXPECT_EQ(starter.commandLines[0].second, 1);
#else
    EXPECT_EQ(chooserTargets, QStringList{c.target});
    if (c.picked.isEmpty()) {
        EXPECT_TRUE(starter.programs.empty());
    } else {
        ASSERT_EQ(starter.programs.size(), 1u);
        EXPECT_EQ(starter.programs[0].first, c.picked);
        EXPECT_EQ(starter.programs[0].second, QStringList{c.target});
    }
    EXPECT_TRUE(starter.commandLines.empty());
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ShellopenTest,
    ::testing::Values(OpenCase{"opens", true, kDownloadPage, "/usr/bin/firefox"},
                      OpenCase{"fails_program_picked", false, kDownloadPage, "/usr/bin/firefox"},
                      OpenCase{"fails_nothing_picked", false, kDownloadPage, ""},
                      OpenCase{"fails_awkward_target", false, "/tmp/my file \"1\";rm -rf x.txt",
                               "/usr/bin/mousepad"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShellopenPassThrough, HandsEveryArgumentToTheDesktopUnchanged) {
    FakeOpener opener;
    opener.succeeds = true;
    modpublic::setServices({&opener, nullptr, nullptr, {}});
    modpublic::shellopen("print", "/tmp/a b.txt", "-x \"y\"", "/tmp", 3);
    modpublic::setServices({});
    EXPECT_EQ(opener.lastCall, (QStringList{"print", "/tmp/a b.txt", "-x \"y\"", "/tmp"}));
    EXPECT_EQ(opener.lastShow, 3);
}

TEST(ShellopenServices, SetServicesReturnsThePreviousSet) {
    FakeOpener first;
    FakeOpener second;
    modpublic::setServices({&first, nullptr, nullptr, {}});
    const modpublic::Services previous = modpublic::setServices({&second, nullptr, nullptr, {}});
    EXPECT_EQ(previous.opener, &first);
    EXPECT_EQ(modpublic::setServices({}).opener, &second);
}

}  // namespace
}  // namespace quorvane
