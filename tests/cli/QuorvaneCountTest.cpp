#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "CountJob.h"
#include "CreationDates.h"
#include "FolderListing.h"

namespace quorvane {
namespace {

struct CounterRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CounterRun runCounter(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(QUORVANE_COUNT_BIN), arguments);
    CounterRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// The engine run in this process, as the window will run it, for a byte comparison.
class EngineHost : public CountHost {
public:
    EngineHost(QString folder, QStringList names, ReportOptions options, int caseChoice)
        : folder_(std::move(folder)),
          names_(std::move(names)),
          options_(options),
          case_(caseChoice) {}
    QString fileListPath() const override { return folder_; }
    QStringList fileListEntries() const override { return names_; }
    void refreshFileList() override {}
    void setCountButtonEnabled(bool) override {}
    void startstatus() override {}
    void endstatus() override {}
    ReportOptions reportOptions() const override { return options_; }
    short editorOptionState() const override { return 0; }
    QString readCaseSetting() const override { return QString::number(case_); }
    QDateTime dateCreated(const QString& path) const override {
        return CreationDates().dateCreated(path);
    }
    void showMessage(const QString&, const QString&) override {}
    void startEditor(const QString&) override {}
    void yieldToEvents() override {}

private:
    QString folder_;
    QStringList names_;
    ReportOptions options_;
    int case_;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        write("alpha_one-draft.txt", "Hello, world. CJ$ gone");
        write("Beta file.md", QByteArray("H\0i\0 \0y\0o\0u\0", 12));
        write("gamma.tar.gz", "\x1f\x8b binary-ish data here");
        write("tallix.txt", "an earlier report");
        write(".hidden", "never listed");
    }

    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray read(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
};

TEST_F(CliTest, WritesTheReportIntoTheFolder) {
    const CounterRun run = runCounter({dir.path()});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(read(dir.filePath("tallix.txt")), QByteArray("alpha_one-draft.txt (3 Words)\r\n"
                                                           "Beta file.md (2 Words)\r\n"
                                                           "gamma.tar.gz (3 Words)\r\n"
                                                           "\r\nTotal Words: 8\r\n"));
}

TEST_F(CliTest, OptionsShapeTheLines) {
    const struct {
        QStringList options;
        QByteArray report;
    } rows[] = {
        {{"--numbered", "--remove-extension", "--underscores", "--hyphens", "--case", "title"},
         "1. Alpha One Draft (3 Words)\r\n2. Beta File (2 Words)\r\n3. Gamma (3 Words)\r\n"},
        {{"--case", "upper"},
         "ALPHA_ONE-DRAFT.TXT (3 WORDS)\r\nBETA FILE.MD (2 WORDS)\r\nGAMMA.TAR.GZ (3 WORDS)\r\n"},
        {{"--case", "lower", "--numbered"},
         "1. alpha_one-draft.txt (3 words)\r\n2. beta file.md (2 words)\r\n"
         "3. gamma.tar.gz (3 words)\r\n"},
    };
    for (const auto& row : rows) {
        const CounterRun run = runCounter(row.options + QStringList{"--output", "-", dir.path()});
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(run.out, row.report + "\r\nTotal Words: 8\r\n");
    }
    // Standard output leaves the folder's report alone.
    EXPECT_EQ(read(dir.filePath("tallix.txt")), QByteArray("an earlier report"));
}

TEST_F(CliTest, SameBytesAsTheEngine) {
    const QStringList names = FolderListing::list(dir.path(), "*.md;ALPHA*").names;
    ASSERT_EQ(names, QStringList({"alpha_one-draft.txt", "Beta file.md"}));
    ReportOptions options{1, 1, 1, 1, 1};
    EngineHost host(dir.path(), names, options, 3);
    CountJob job(host);
    QTemporaryDir out;
    job.setReportPath(out.filePath("engine.txt"));
    ASSERT_EQ(job.run().outcome, CountResult::Outcome::Completed);

    const CounterRun run = runCounter({"--numbered", "--date-created", "--remove-extension",
                                       "--underscores", "--hyphens", "--case", "title", "--output",
                                       out.filePath("cli.txt"), dir.path(), "*.md;ALPHA*"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const QByteArray engine = read(out.filePath("engine.txt"));
    EXPECT_TRUE(engine.contains("(date Created: "));
    EXPECT_EQ(read(out.filePath("cli.txt")), engine);
}

TEST_F(CliTest, ExitStatus) {
    QTemporaryDir blocked;
    ASSERT_TRUE(QDir(blocked.path()).mkdir("tallix.txt"));
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        QByteArray errorMentions;
    } rows[] = {
        {"no_folder", {}, 1, "missing FOLDER"},
        {"too_many", {dir.path(), "*.*", "extra"}, 1, "too many"},
        {"unknown_option", {"--bogus", dir.path()}, 1, "bogus"},
        {"bad_case", {"--case", "shouting", dir.path()}, 1, "shouting"},
        {"empty_output", {"--output", "", dir.path()}, 1, "--output"},
        {"folder_is_a_file", {dir.filePath("tallix.txt")}, 1, "tallix.txt"},
        {"output_is_a_folder", {"--output", blocked.path(), dir.path()}, 3, "could not be written"},
        {"missing_folder", {dir.filePath("nowhere")}, 1, "nowhere"},
        {"nothing_matches", {"--output", "-", dir.path(), "*.none"}, 0, ""},
        // Reading one's own memory at address 0 fails: a listed file that cannot be read.
        {"unreadable_file", {"--output", "-", "/proc/self", "mem"}, 2, "not counted: mem"},
        {"report_blocked", {blocked.path()}, 3, "tallix.txt"},
        {"output_folder_missing",
         {"--output", dir.filePath("no/such/file.txt"), dir.path()},
         3,
         "no/such/file.txt"},
    };
    for (const auto& row : rows) {
        const CounterRun run = runCounter(row.arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << ": " << run.err.constData();
        EXPECT_TRUE(run.err.contains(row.errorMentions)) << row.name << ": " << run.err.constData();
    }
    EXPECT_EQ(read(dir.filePath("tallix.txt")), QByteArray("an earlier report"));
}

TEST_F(CliTest, UnreadableFileStillGivesAReport) {
    const CounterRun run = runCounter({"--output", "-", "/proc/self", "mem;stat"});
    EXPECT_EQ(run.exitCode, 2) << run.err.constData();
    EXPECT_TRUE(run.out.startsWith("stat ("));
    EXPECT_TRUE(run.out.contains("\r\n\r\nTotal Words: "));
    EXPECT_FALSE(run.out.contains("mem"));
}

TEST(CliInfo, HelpAndVersion) {
    const CounterRun version = runCounter({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), QByteArray("quorvane-count 1.0.0"));
    const CounterRun help = runCounter({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--numbered", "--date-created", "--remove-extension",
                               "--underscores", "--hyphens", "--case", "--output"}) {
        EXPECT_TRUE(help.out.contains(option)) << option;
    }
    EXPECT_FALSE(help.out.contains("yield"));
}

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
