#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "count/CountJob.h"
#include "count/ReportLine.h"
#include "platform/CreationDates.h"
#include "platform/FolderListing.h"
#include "tests/Eventually.h"
#include "tests/PrivateMounts.h"
#include "tests/SignalHandlers.h"

namespace quorvane {
namespace {

// The system's own words for an error number, in the language the counter also speaks.
QByteArray systemWords(int code) {
    return QByteArray(std::strerror(code));
}

struct CounterRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// `inChild` runs in the child between fork and exec: limits, another user.
CounterRun runCounter(const QStringList& arguments, std::function<void()> inChild = {},
                      const QString& program = QStringLiteral(QUORVANE_COUNT_BIN)) {
    QProcess process;
    if (inChild) {
        process.setChildProcessModifier(inChild);
    }
    process.start(program, arguments);
    CounterRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// The engine run in this process, as the window runs it, for a byte comparison.
CountResult runEngine(const QString& folder, const QStringList& names, ReportOptions options,
                      LetterCase letterCase, const QString& reportPath) {
    CountRequest request;
    request.folder = folder;
    request.entries = names;
    request.options = [options] { return options; };
    request.letterCase = [letterCase] { return letterCase; };
    request.dateCreated = [](const QString& path) { return CreationDates().dateCreated(path); };
    request.reportPath = reportPath;
    request.reportTarget = ReportFile::Target::UserNamed;
    return CountJob(request).run();
}

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
        {{"--underscores"},
         "alpha one-draft.txt (3 Words)\r\nBeta file.md (2 Words)\r\ngamma.tar.gz (3 Words)\r\n"},
        {{"--hyphens"},
         "alpha_one draft.txt (3 Words)\r\nBeta file.md (2 Words)\r\ngamma.tar.gz (3 Words)\r\n"},
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
    const QStringList names =
        FolderListing::list(dir.path(), "*.md;ALPHA*").names.toStringList();
    ASSERT_EQ(names, QStringList({"alpha_one-draft.txt", "Beta file.md"}));
    const ReportOptions options{true, true, true, true, true};
    QTemporaryDir out;
    ASSERT_EQ(runEngine(dir.path(), names, options, LetterCase::Title, out.filePath("engine.txt"))
                  .outcome,
              CountResult::Outcome::Completed);

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
    QFile(blocked.filePath("a.txt")).open(QIODevice::WriteOnly);
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        QByteArray errorMentions;
    } rows[] = {
        {"no_folder", {}, 1, "missing FOLDER"},
        {"too_many", {dir.path(), "*.*", "extra"}, 1, "too many"},
        // A pattern the shell expanded: the names' shared extension is the example.
        {"expanded_pattern",
         {dir.path(), "alpha_one-draft.txt", "notes.txt"},
         1,
         "too many arguments: quote the pattern, as in '*.txt'"},
        {"expanded_with_folders", {dir.path(), "a/b.md", "c.d/e.md", "f.md"}, 1, "as in '*.md'"},
        {"extensions_differ", {dir.path(), "a.md", "b.rst"}, 1, "as in '*.txt'"},
        {"one_without_extension", {dir.path(), "a.md", "README"}, 1, "as in '*.txt'"},
        {"hidden_name_is_no_extension", {dir.path(), ".md", "x.md"}, 1, "as in '*.txt'"},
        {"extension_a_shell_would_mangle", {dir.path(), "a.b c", "d.b c"}, 1, "as in '*.txt'"},
        {"unknown_option", {"--bogus", dir.path()}, 1, "bogus"},
        {"bad_case", {"--case", "shouting", dir.path()}, 1, "shouting"},
        {"bad_format", {"--format", "xml", dir.path()}, 1, "unknown format \"xml\""},
        {"format_needs_a_value", {dir.path(), "--format"}, 1, "format"},
        {"bad_rule", {"--rule", "Unicode", dir.path()}, 1, "unknown rule \"Unicode\""},
        {"bad_io", {"--io", "mmap", dir.path()}, 1, "unknown --io \"mmap\""},
        {"nothing_matches_below_either", {"--recursive", dir.path(), "*.tx"}, 1, "matches *.tx"},
        {"empty_output", {"--output", "", dir.path()}, 1, "--output"},
        {"folder_is_a_file", {dir.filePath("tallix.txt")}, 1, "tallix.txt"},
        {"output_is_a_folder", {"--output", blocked.path(), dir.path()}, 3, "could not be written"},
        {"missing_folder", {dir.filePath("nowhere")}, 1, "nowhere"},
        {"nothing_matches", {dir.path(), "*.tx"}, 1, "no file in " + dir.path().toUtf8() + " matches *.tx"},
        {"only_the_report_matches", {dir.path(), "tallix.*"}, 1, "matches tallix.*"},
        {"empty_pattern", {dir.path(), ""}, 1, "no file in"},
        {"folder_name_too_long", {QString(5000, u'x')}, 1, systemWords(ENAMETOOLONG)},
        {"name_too_long", {dir.filePath(QString(300, u'x'))}, 1, systemWords(ENAMETOOLONG)},
        // Reading one's own memory at address 0 fails: a listed file that cannot be read.
        {"unreadable_file", {"--output", "-", "/proc/self", "mem"}, 2,
         "not counted: mem: " + systemWords(EIO)},
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

// Creation times differ from run to run; everything else is compared byte for byte.
QByteArray withoutTimes(QByteArray report) {
    static const QRegularExpression time(
        QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d"));
    return QString::fromUtf8(report).replace(time, QStringLiteral("<time>")).toUtf8();
}

// The report format and the word rule: the name options and the letter case shape only
// the text report.
TEST_F(CliTest, FormatsAndRules) {
    write("greek.txt", "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac "
                       "\xce\xba\xce\xb5\xce\xaf\xce\xbc\xce\xb5\xce\xbd\xce\xb1\nend\nNext");
    const struct {
        QStringList options;
        QByteArray report;
    } rows[] = {
        {{}, "Beta file.md (2 Words)\r\ngreek.txt (1 Words)\r\n\r\nTotal Words: 3\r\n"},
        {{"--rule", "classic"},
         "Beta file.md (2 Words)\r\ngreek.txt (1 Words)\r\n\r\nTotal Words: 3\r\n"},
        {{"--rule", "unicode", "--numbered"},
         "1. Beta file.md (2 Words)\r\n2. greek.txt (4 Words)\r\n\r\nTotal Words: 6\r\n"},
        {{"--format", "text", "--case", "upper"},
         "BETA FILE.MD (2 WORDS)\r\nGREEK.TXT (1 WORDS)\r\n\r\nTotal Words: 3\r\n"},
        {{"--format", "csv", "--numbered", "--remove-extension", "--case", "upper"},
         "index,name,path,words,created\r\n1,Beta file.md,Beta file.md,2,<time>\r\n"
         "2,greek.txt,greek.txt,1,<time>\r\n"},
        {{"--format", "tsv", "--rule", "unicode"},
         "index\tname\tpath\twords\tcreated\r\n1\tBeta file.md\tBeta file.md\t2\t<time>\r\n"
         "2\tgreek.txt\tgreek.txt\t4\t<time>\r\n"},
    };
    for (const auto& row : rows) {
        const CounterRun run =
            runCounter(row.options + QStringList{"--output", "-", dir.path(), "greek.txt;Beta*"});
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(withoutTimes(run.out), row.report) << qPrintable(row.options.join(' '));
    }

    // JSON, into a file of the user's: what was counted and how, and every file.
    QTemporaryDir out;
    const CounterRun json =
        runCounter({"--format", "json", "--rule", "unicode", "--document-text", "--output",
                    out.filePath("report.json"), dir.path(), "greek.txt;Beta*"});
    EXPECT_EQ(json.exitCode, 0) << json.err.constData();
    const QJsonObject report = QJsonDocument::fromJson(read(out.filePath("report.json"))).object();
    EXPECT_EQ(report["version"].toString(), "1.0.0");
    EXPECT_EQ(report["folder"].toString(), dir.path());
    EXPECT_EQ(report["pattern"].toString(), "greek.txt;Beta*");
    EXPECT_EQ(report["rule"].toString(), "unicode");
    EXPECT_TRUE(report["documentText"].toBool());
    EXPECT_EQ(report["total"].toInteger(), 6);
    const QJsonArray files = report["files"].toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[1].toObject()["path"].toString(), "greek.txt");
    EXPECT_EQ(files[1].toObject()["index"].toInteger(), 2);
    EXPECT_EQ(files[1].toObject()["words"].toInteger(), 4);
    EXPECT_TRUE(files[1].toObject()["created"].isString());
    EXPECT_EQ(report["notCounted"].toArray().size(), 0);

    // The folder's own report takes whatever the format writes; files that could not be
    // read are named in it too.
    const CounterRun csv = runCounter({"--format", "csv", dir.path(), "*.md"});
    EXPECT_EQ(csv.exitCode, 0) << csv.err.constData();
    EXPECT_EQ(withoutTimes(read(dir.filePath("tallix.txt"))),
              "index,name,path,words,created\r\n1,Beta file.md,Beta file.md,2,<time>\r\n");
    const CounterRun unreadable =
        runCounter({"--format", "json", "--output", "-", "/proc/self", "mem;stat"});
    EXPECT_EQ(unreadable.exitCode, 2) << unreadable.err.constData();
    const QJsonArray notCounted =
        QJsonDocument::fromJson(unreadable.out).object()["notCounted"].toArray();
    ASSERT_EQ(notCounted.size(), 1);
    EXPECT_EQ(notCounted[0].toObject()["name"].toString(), "mem");
    EXPECT_EQ(notCounted[0].toObject()["reason"].toString(),
              QString::fromLocal8Bit(systemWords(EIO)));
}

// Subfolders: paths from the folder, numbered over the whole list, the name options on the
// file name only; hidden folders, links to folders and every tallix.txt left out.
TEST_F(CliTest, RecursiveCountsSubfolders) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub_dir/deep_er"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(".hid"));
    write("sub_dir/inner-file.txt", "three small words");
    write("sub_dir/tallix.txt", "an earlier report below");
    write("sub_dir/deep_er/z.md", "one two");
    write(".hid/x.txt", "never listed");
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("sub_dir/loop")));
    ASSERT_TRUE(QFile::link(dir.filePath("sub_dir"), dir.filePath("again")));
    const struct {
        QStringList options;
        QByteArray report;
    } rows[] = {
        {{"--numbered", "--remove-extension", "--underscores", "--hyphens"},
         "1. alpha one draft (3 Words)\r\n2. Beta file (2 Words)\r\n3. gamma (3 Words)\r\n"
         "4. sub_dir/deep_er/z (2 Words)\r\n5. sub_dir/inner file (3 Words)\r\n"
         "\r\nTotal Words: 13\r\n"},
        {{"--case", "upper"},
         "ALPHA_ONE-DRAFT.TXT (3 WORDS)\r\nBETA FILE.MD (2 WORDS)\r\nGAMMA.TAR.GZ (3 WORDS)\r\n"
         "SUB_DIR/DEEP_ER/Z.MD (2 WORDS)\r\nSUB_DIR/INNER-FILE.TXT (3 WORDS)\r\n"
         "\r\nTotal Words: 13\r\n"},
        {{"--format", "csv", "--underscores"},
         "index,name,path,words,created\r\n1,alpha_one-draft.txt,alpha_one-draft.txt,3,<time>\r\n"
         "2,Beta file.md,Beta file.md,2,<time>\r\n3,gamma.tar.gz,gamma.tar.gz,3,<time>\r\n"
         "4,z.md,sub_dir/deep_er/z.md,2,<time>\r\n"
         "5,inner-file.txt,sub_dir/inner-file.txt,3,<time>\r\n"},
    };
    for (const auto& row : rows) {
        const CounterRun run =
            runCounter(row.options + QStringList{"--recursive", "--output", "-", dir.path()});
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(withoutTimes(run.out), row.report) << qPrintable(row.options.join(' '));
    }
    // Written into the folder, the report is not counted in the next run either.
    for (int runNumber = 0; runNumber < 2; ++runNumber) {
        const CounterRun own = runCounter({"--recursive", dir.path(), "*.md"});
        EXPECT_EQ(own.exitCode, 0) << own.err.constData();
        EXPECT_EQ(read(dir.filePath("tallix.txt")),
                  "Beta file.md (2 Words)\r\nsub_dir/deep_er/z.md (2 Words)\r\n"
                  "\r\nTotal Words: 4\r\n");
    }
    EXPECT_EQ(read(dir.filePath("sub_dir/tallix.txt")), "an earlier report below");
}

// A subfolder that cannot be listed (here: its path is longer than the system opens) is
// named on standard error with the reason, and the rest is counted: exit 2.
TEST_F(CliTest, RecursiveNamesSubfoldersThatCannotBeListed) {
    const QByteArray part(200, 'n');
    std::vector<int> fds = {::open(QFile::encodeName(dir.path()).constData(), O_RDONLY)};
    const int depth = 4200 / (part.size() + 1) + 1;
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(::mkdirat(fds.back(), part.constData(), 0755), 0);
        fds.push_back(::openat(fds.back(), part.constData(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0);
    }
    const CounterRun run = runCounter({"--recursive", "--output", "-", dir.path(), "*.md"});
    for (int level = depth; level > 0; --level) {
        ::close(fds[level]);
        ::unlinkat(fds[level - 1], part.constData(), AT_REMOVEDIR);
    }
    ::close(fds[0]);
    EXPECT_EQ(run.exitCode, 2) << run.err.constData();
    EXPECT_TRUE(run.err.contains("not listed: " + part + "/" + part)) << run.err.constData();
    EXPECT_TRUE(run.err.contains(": " + systemWords(ENAMETOOLONG))) << run.err.constData();
    EXPECT_EQ(run.out, "Beta file.md (2 Words)\r\n\r\nTotal Words: 2\r\n");
}

// Runs of small files are read ahead together; whatever a run holds (files of every
// size around the read-ahead's limit, empty ones, a FIFO, a link, a name that is not
// UTF-8, the report itself under another name, files that cannot be read) must give the
// report that reading one file at a time gives.
TEST_F(CliTest, ReadingAheadGivesTheSameReport) {
    QTemporaryDir folder;
    const QByteArray words = "one two three four five six seven\n";
    const int sizes[] = {1, 33, 4096, 65535, 65536, 65537, 200000, 0};
    for (int i = 0; i < 48; ++i) {
        const int size = sizes[i % std::size(sizes)];
        QFile f(folder.filePath(QStringLiteral("f%1.txt").arg(i, 2, 10, QLatin1Char('0'))));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(words.repeated(size / words.size() + 1).left(size)), size);
    }
    const QByteArray path = QFile::encodeName(folder.path());
    ASSERT_EQ(::mkfifo((path + "/f07b.txt").constData(), 0644), 0);
    ASSERT_EQ(::symlink("f01.txt", (path + "/f11b.txt").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", (path + "/f12b.txt").constData()), 0);
    ASSERT_EQ(::close(::open((path + "/f13b-caf\xe9.txt").constData(), O_CREAT | O_WRONLY, 0644)), 0);
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("f14b.txt")));
    const QString report = folder.filePath(QStringLiteral("f20b.txt"));
    const struct {
        const char* name;
        QStringList options;
    } rows[] = {
        {"read ahead, 2 threads", {"--io", "read", "--threads", "2"}},
        {"read ahead, 3 threads", {"--io", "read", "--threads", "3"}},
        {"one at a time, 2 threads", {"--io", "each", "--threads", "2"}},
        {"in sequence", {"--threads", "1"}},
    };
    CounterRun first;
    QByteArray firstReport;
    for (const auto& row : rows) {
        const CounterRun run = runCounter(row.options + QStringList{"--output", report, folder.path()});
        const QByteArray written = read(report);
        if (&row == &rows[0]) {
            first = run;
            firstReport = written;
            EXPECT_TRUE(written.contains("f00.txt (1 Words)")) << written.constData();
            EXPECT_TRUE(written.contains("f11b.txt (7 Words)")) << written.constData();
            EXPECT_FALSE(written.contains("f20b.txt")) << written.constData();
            continue;
        }
        EXPECT_EQ(run.exitCode, first.exitCode) << row.name;
        EXPECT_EQ(written, firstReport) << row.name;
        EXPECT_EQ(run.err, first.err) << row.name;
    }
    ::unlink((path + "/f13b-caf\xe9.txt").constData());  // a name QDir cannot remove
}

TEST_F(CliTest, UnreadableFileStillGivesAReport) {
    const CounterRun run = runCounter({"--output", "-", "/proc/self", "mem;stat"});
    EXPECT_EQ(run.exitCode, 2) << run.err.constData();
    EXPECT_TRUE(run.out.startsWith("stat ("));
    EXPECT_TRUE(run.out.contains("\r\n\r\nTotal Words: "));
    EXPECT_FALSE(run.out.contains("mem"));
}

struct FileState {
    QByteArray bytes;
    mode_t mode = 0;
    ino_t inode = 0;
    QStringList names;  // the folder's entries, hidden ones too
};

FileState stateOf(const QString& folder, const QString& name) {
    FileState state;
    QFile f(QDir(folder).filePath(name));
    if (f.open(QIODevice::ReadOnly)) {
        state.bytes = f.readAll();
    }
    struct stat info;
    if (::lstat(QFile::encodeName(QDir(folder).filePath(name)).constData(), &info) == 0) {
        state.mode = info.st_mode;
        state.inode = info.st_ino;
    }
    state.names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                         QDir::NoDotAndDotDot);
    return state;
}

// Faults while the report is written: the earlier report must come out of each byte for
// byte, with the system's reason on standard error and exit 3, and nothing left beside it.
enum class ReportFault { FileSizeLimit, FullDisk, ReportIsALink };

void expectEarlierReportKept(ReportFault fault, const QByteArray& reason) {
    QTemporaryDir scratch;
    const QString folder = scratch.filePath("counted");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray folderPath = QFile::encodeName(folder);
    if (fault == ReportFault::FullDisk) {
        ASSERT_EQ(::mount("tmpfs", folderPath.constData(), "tmpfs", 0, "size=64k"), 0)
            << std::strerror(errno);
    }
    // A small file system holds few files: each takes a page.
    const int files = fault == ReportFault::FullDisk ? 4 : 40;
    for (int i = 0; i < files; ++i) {
        QFile f(QDir(folder).filePath(QStringLiteral("a_rather_long_file_name_%1.txt").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("some words");
    }
    {
        QFile f(QDir(folder).filePath("tallix.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the earlier report\r\n");
    }
    std::function<void()> inChild;
    QFile target(scratch.filePath("target"));
    switch (fault) {
        case ReportFault::FileSizeLimit:
            inChild = [] {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{1024, 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            };
            break;
        case ReportFault::FullDisk: {
            // Fill what is left, so the new report has no room.
            QFile filler(QDir(folder).filePath(".filler"));
            ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(512, 'x');
            while (filler.write(block) == block.size()) {
            }
            break;
        }
        case ReportFault::ReportIsALink:
            ASSERT_TRUE(QFile::remove(QDir(folder).filePath("tallix.txt")));
            ASSERT_TRUE(target.open(QIODevice::WriteOnly));
            target.write("the earlier report\r\n");
            target.close();
            ASSERT_TRUE(QFile::link(target.fileName(), QDir(folder).filePath("tallix.txt")));
            break;
    }
    const FileState before = stateOf(folder, "tallix.txt");
    const CounterRun run = runCounter({folder}, inChild);
    EXPECT_EQ(run.exitCode, 3) << run.err.constData();
    EXPECT_TRUE(run.err.contains(reason)) << run.err.constData();
    EXPECT_FALSE(run.err.contains("Unknown error"));
    const FileState after = stateOf(folder, "tallix.txt");
    EXPECT_EQ(after.bytes, QByteArray("the earlier report\r\n"));
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.names, before.names);
    if (fault == ReportFault::FullDisk) {
        ::umount2(folderPath.constData(), MNT_DETACH);
    }
}

TEST_F(CliTest, ReportWritingFaultsKeepTheEarlierReport) {
    const struct {
        const char* label;
        ReportFault fault;
        QByteArray reason;
    } rows[] = {
        {"file size limit", ReportFault::FileSizeLimit, systemWords(EFBIG)},
        {"report is a link", ReportFault::ReportIsALink, "tallix.txt is a symbolic link"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        expectEarlierReportKept(row.fault, row.reason);
    }
}

// The full file system is a small one mounted where only this test sees it.
TEST_F(CliTest, FullFileSystemKeepsTheEarlierReport) {
    QUORVANE_NEED_PRIVATE_MOUNTS();
    expectEarlierReportKept(ReportFault::FullDisk, systemWords(ENOSPC));
}

// Where the report goes when it is not a plain new file.
TEST_F(CliTest, ReportTargets) {
    // An earlier report keeps its permission bits.
    for (const mode_t bits : {0444, 0640, 0600}) {
        ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("tallix.txt")).constData(), bits), 0);
        const CounterRun run = runCounter({dir.path()});
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_EQ(stateOf(dir.path(), "tallix.txt").mode & 07777, bits);
        EXPECT_TRUE(read(dir.filePath("tallix.txt")).endsWith("Total Words: 8\r\n"));
    }

    // A device or FIFO the user names is written as a stream, never replaced.
    const CounterRun toNull = runCounter({"--output", "/dev/null", dir.path()});
    EXPECT_EQ(toNull.exitCode, 0) << toNull.err.constData();
    struct stat info;
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    QTemporaryDir elsewhere;
    const QByteArray fifo = QFile::encodeName(elsewhere.filePath("pipe"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    QByteArray received;
    std::thread reader([&] {
        const int fd = ::open(fifo.constData(), O_RDONLY);
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
            received.append(buffer, got);
        }
        ::close(fd);
    });
    const CounterRun toFifo = runCounter({"--output", elsewhere.filePath("pipe"), dir.path()});
    reader.join();
    EXPECT_EQ(toFifo.exitCode, 0) << toFifo.err.constData();
    EXPECT_TRUE(received.endsWith("\r\nTotal Words: 8\r\n")) << received.constData();
    ASSERT_EQ(::lstat(fifo.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A link the user names leads to the report; the link itself stays.
    write("../linked-target", "");
    ASSERT_TRUE(QFile::link(elsewhere.filePath("real.txt"), elsewhere.filePath("link.txt")));
    write("../dummy", "");
    {
        QFile real(elsewhere.filePath("real.txt"));
        ASSERT_TRUE(real.open(QIODevice::WriteOnly));
    }
    const CounterRun toLink = runCounter({"--output", elsewhere.filePath("link.txt"), dir.path()});
    EXPECT_EQ(toLink.exitCode, 0) << toLink.err.constData();
    EXPECT_TRUE(QFileInfo(elsewhere.filePath("link.txt")).isSymLink());
    EXPECT_TRUE(read(elsewhere.filePath("real.txt")).endsWith("Total Words: 8\r\n"));

    // Standard output closed: the reason is the system's, and no report is claimed.
    const CounterRun closed = runCounter(
        {"-c", "exec \"$0\" --output - \"$1\" >&-", QUORVANE_COUNT_BIN, dir.path()}, {},
        QStringLiteral("/bin/sh"));
    EXPECT_EQ(closed.exitCode, 3);
    EXPECT_TRUE(closed.err.contains("cannot write to standard output: " + systemWords(EBADF)))
        << closed.err.constData();

    // A report named like a counted file is not counted, in this run or the next.
    for (int runNumber = 0; runNumber < 2; ++runNumber) {
        const CounterRun own = runCounter({"--output", dir.filePath("Beta file.md"), dir.path()});
        EXPECT_EQ(own.exitCode, 0) << own.err.constData();
        EXPECT_EQ(read(dir.filePath("Beta file.md")),
                  QByteArray("alpha_one-draft.txt (3 Words)\r\ngamma.tar.gz (3 Words)\r\n"
                             "\r\nTotal Words: 6\r\n"));
    }
}

// A shared folder that takes no new file, with a report anybody may write: the report is
// rewritten in place.
TEST_F(CliTest, ReportRewrittenInPlaceWhereTheFolderTakesNoNewFile) {
    const bool root = ::geteuid() == 0;
    QTemporaryDir scratch;
    const QString folder = scratch.filePath("shared");
    ASSERT_TRUE(QDir().mkpath(folder));
    {
        QFile f(QDir(folder).filePath("a.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("three little words");
        QFile report(QDir(folder).filePath("tallix.txt"));
        ASSERT_TRUE(report.open(QIODevice::WriteOnly));
        report.write("an earlier and much longer report than the next one\r\n");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(QDir(folder).filePath("tallix.txt")).constData(), 0666), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(scratch.path()).constData(), 0755), 0);
    std::function<void()> asSomebodyElse;
    if (root) {
        asSomebodyElse = [] {
            [[maybe_unused]] int ignored = ::setgid(65534);
            ignored = ::setuid(65534);
        };
    }
    const FileState before = stateOf(folder, "tallix.txt");
    const CounterRun run = runCounter({folder}, asSomebodyElse);
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    const FileState after = stateOf(folder, "tallix.txt");
    EXPECT_EQ(after.bytes, QByteArray("a.txt (3 Words)\r\n\r\nTotal Words: 3\r\n"));
    EXPECT_EQ(after.inode, before.inode);
    EXPECT_EQ(after.names, before.names);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

// Whether the process has the file open or mapped: it is reading it.
bool isReading(qint64 pid, const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString proc = QStringLiteral("/proc/%1/").arg(pid);
    for (const QFileInfo& fd : QDir(proc + "fd").entryInfoList(QDir::System | QDir::Files)) {
        if (fd.symLinkTarget() == canonical) {
            return true;
        }
    }
    QFile maps(proc + "maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(QFile::encodeName(canonical));
}

// Signals end a run like closing the window: the earlier report stays, nothing is left
// behind, and the exit status is the one shells expect.
TEST_F(CliTest, SignalsCancelTheRun) {
    // Holes read as zeros at memory speed: long enough to be signalled mid-way.
    const QByteArray big = QFile::encodeName(dir.filePath("big.bin"));
    const int fd = ::open(big.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{64} << 30), 0);
    ::close(fd);
    const QStringList tmpBefore = QDir::temp().entryList({"quorvane-count-*"}, QDir::Dirs);
    const struct {
        int signal;
        int exitCode;
    } rows[] = {{SIGTERM, 143}, {SIGINT, 130}, {SIGHUP, 129}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.signal);
        const FileState before = stateOf(dir.path(), "tallix.txt");
        QProcess process;
        process.start(QStringLiteral(QUORVANE_COUNT_BIN), {dir.path()});
        ASSERT_TRUE(process.waitForStarted());
        const qint64 pid = process.processId();
        // Mid-way: the handler is in place and the big file is being read.
        ASSERT_TRUE(test::eventually([&] {
            return test::catchesSignal(pid, row.signal) && isReading(pid, dir.filePath("big.bin"));
        }));
        ::kill(static_cast<pid_t>(pid), row.signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), row.exitCode) << process.readAllStandardError().constData();
        const FileState after = stateOf(dir.path(), "tallix.txt");
        EXPECT_EQ(after.bytes, QByteArray("an earlier report"));
        EXPECT_EQ(after.inode, before.inode);
        EXPECT_EQ(after.names, before.names);
    }
    const CounterRun toStandardOutput = runCounter({"--output", "-", dir.path(), "*.md"});
    EXPECT_EQ(toStandardOutput.exitCode, 0);
    EXPECT_EQ(QDir::temp().entryList({"quorvane-count-*"}, QDir::Dirs), tmpBefore);
}

// Names in any bytes: a folder and a file whose names are not valid UTF-8 are opened by
// their own bytes and shown with U+FFFD; ".." goes where the file system says.
TEST_F(CliTest, FolderNamesAreTakenAsTheSystemSpellsThem) {
    const QByteArray root = QFile::encodeName(dir.path());
    const QByteArray latin = root + "/d\xe9j\xe0";
    ASSERT_EQ(::mkdir(latin.constData(), 0755), 0);
    const int fd = ::open((latin + "/caf\xe9.txt").constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(fd, "un deux trois", 13), 13);
    ::close(fd);
    // QProcess cannot pass bytes that are not text; the shell can.
    const CounterRun run = runCounter(
        {"-c", "exec \"$0\" --output - \"$1/$(printf 'd\\351j\\340')\"", QUORVANE_COUNT_BIN,
         dir.path()},
        {}, QStringLiteral("/bin/sh"));
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.out, QByteArray("caf\xef\xbf\xbd.txt (3 Words)\r\n\r\nTotal Words: 3\r\n"));
    ::unlink((latin + "/caf\xe9.txt").constData());
    ::rmdir(latin.constData());

    // link/.. is the folder holding what the link leads to, as ls shows it.
    QTemporaryDir other;
    ASSERT_TRUE(QDir(other.path()).mkdir("inner"));
    {
        QFile f(other.filePath("outer.txt"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("one two");
    }
    ASSERT_TRUE(QFile::link(other.filePath("inner"), dir.filePath("link")));
    const CounterRun dotdot = runCounter({"--output", "-", dir.filePath("link") + "/.."});
    EXPECT_EQ(dotdot.exitCode, 0) << dotdot.err.constData();
    EXPECT_EQ(dotdot.out, QByteArray("outer.txt (2 Words)\r\n\r\nTotal Words: 2\r\n"));
}

// What changed since a JSON baseline saved by an earlier run: each kind of change, the
// settings that must match, a damaged baseline and one of another folder. Without
// --compare the same folder gives the plain report.
TEST_F(CliTest, CompareWithAnEarlierReport) {
    QTemporaryDir books;
    ASSERT_TRUE(books.isValid());
    const auto put = [&](const QString& name, const QByteArray& bytes) {
        QFile f(books.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    };
    put("grows.txt", "one two");
    put("shrinks.txt", "one two three four");
    put("same.txt", "one");
    put("old name.txt", "one two three");
    put("goes.txt", "one two");
    const QString base = dir.filePath("base.json");
    const CounterRun first = runCounter({"--save-json", base, "--output", "-", books.path()});
    ASSERT_EQ(first.exitCode, 0) << first.err.constData();
    EXPECT_EQ(first.out,
              "goes.txt (2 Words)\r\ngrows.txt (2 Words)\r\nold name.txt (3 Words)\r\n"
              "same.txt (1 Words)\r\nshrinks.txt (4 Words)\r\n\r\nTotal Words: 12\r\n");
    put("grows.txt", "one two three four five");
    put("shrinks.txt", "one");
    ASSERT_TRUE(QFile::rename(books.filePath("old name.txt"), books.filePath("new name.txt")));
    ASSERT_TRUE(QFile::remove(books.filePath("goes.txt")));
    const QByteArray plain =
        "grows.txt (5 Words)\r\nnew name.txt (3 Words)\r\nsame.txt (1 Words)\r\n"
        "shrinks.txt (1 Words)\r\n\r\nTotal Words: 10\r\n";
    const QByteArray since =
        dateCreatedText(
            QDateTime::fromString(
                QJsonDocument::fromJson(read(base)).object()["written"].toString(), Qt::ISODate))
            .toLocal8Bit();
    const QByteArray compared =
        "grows.txt (5 Words) (+3)\r\nnew name.txt (3 Words) (new)\r\n"
        "same.txt (1 Words)\r\nshrinks.txt (1 Words) (-3)\r\n\r\nGone:\r\n"
        "goes.txt (2 Words)\r\nold name.txt (3 Words)\r\n\r\n"
        "Total Words: 10 (-2 since " +
        since + ")\r\n";
    QFile::copy(base, dir.filePath("other.json"));
    QByteArray moved = read(base);
    moved.replace(QJsonDocument::fromJson(moved).object()["folder"].toString().toUtf8(),
                  "/elsewhere");
    write("moved.json", moved);
    write("damaged.json", read(base).left(read(base).size() / 2));
    write("not a report.json", "{\"total\": 3}");
    const struct {
        const char* label;
        QStringList options;
        int exitCode;
        QByteArray out;
        const char* err;  // contained in standard error
    } rows[] = {
        {"plain", {}, 0, plain, ""},
        {"each_change", {"--compare", base}, 0, compared, ""},
        {"another_folder",
         {"--compare", dir.filePath("moved.json")},
         0,
         compared,
         "is a count of \"/elsewhere\""},
        {"rule_differs",
         {"--compare", base, "--rule", "unicode"},
         1,
         "",
         "counted with --rule classic, this run with --rule unicode"},
        {"document_text_differs",
         {"--compare", base, "--document-text"},
         1,
         "",
         "counted without --document-text, this run with it"},
        {"damaged", {"--compare", dir.filePath("damaged.json")}, 1, "", "not JSON"},
        {"not_a_report",
         {"--compare", dir.filePath("not a report.json")},
         1,
         "",
         "not a JSON report of quorvane-count"},
        {"missing", {"--compare", dir.filePath("none.json")}, 1, "", "cannot compare with"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const CounterRun run = runCounter(row.options + QStringList{"--output", "-", books.path()});
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
        EXPECT_EQ(run.out, row.out);
        EXPECT_TRUE(run.err.contains(row.err)) << run.err.constData();
    }
    // CSV gains two columns and a row per gone file; the JSON report names what changed.
    const CounterRun csv =
        runCounter({"--compare", base, "--format", "csv", "--output", "-", books.path()});
    EXPECT_EQ(
        withoutTimes(csv.out),
        "index,name,path,words,created,previous,change\r\n1,grows.txt,grows.txt,5,<time>,2,3\r\n"
        "2,new name.txt,new name.txt,3,<time>,,\r\n3,same.txt,same.txt,1,<time>,1,0\r\n"
        "4,shrinks.txt,shrinks.txt,1,<time>,4,-3\r\n,goes.txt,goes.txt,,,2,-2\r\n"
        ",old name.txt,old name.txt,,,3,-3\r\n");
    const CounterRun json =
        runCounter({"--compare", base, "--format", "json", "--output", "-", books.path()});
    const QJsonObject report = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(report["previousTotal"].toInteger(), 12);
    EXPECT_EQ(report["gone"].toArray().size(), 2);
    EXPECT_EQ(report["files"].toArray()[0].toObject()["change"].toInteger(), 3);
    EXPECT_FALSE(report["files"].toArray()[1].toObject().contains("previous"));
}

// Subtotals after each subfolder's last file, at three depths, in each layout; only with
// --recursive.
TEST_F(CliTest, SubtotalsAtThreeDepths) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("one/two/three"));
    write("one/a.txt", "a b");
    write("one/two/b.txt", "a b c");
    write("one/two/three/c.txt", "a b c d");
    write("one/z.txt", "a");
    const QByteArray dash = "\xe2\x80\x94";
    const struct {
        const char* label;
        QStringList options;
        int exitCode;
        QByteArray out;
    } rows[] = {
        {"plain",
         {"--recursive"},
         0,
         "one/a.txt (2 Words)\r\none/two/b.txt (3 Words)\r\none/two/three/c.txt (4 Words)\r\n"
         "one/z.txt (1 Words)\r\n\r\nTotal Words: 10\r\n"},
        {"text",
         {"--recursive", "--subtotals"},
         0,
         "one/a.txt (2 Words)\r\none/two/b.txt (3 Words)\r\none/two/three/c.txt (4 Words)\r\n"
         "one/two/three/ " +
             dash + " Words: 4\r\none/two/ " + dash +
             " Words: 7\r\n"
             "one/z.txt (1 Words)\r\none/ " +
             dash + " Words: 10\r\n\r\nTotal Words: 10\r\n"},
        {"csv",
         {"--recursive", "--subtotals", "--format", "csv"},
         0,
         "kind,path,words\r\nfolder,one/two/three,4\r\nfolder,one/two,7\r\nfolder,one,10\r\n"
         "total,,10\r\n\r\nindex,name,path,words,created\r\n1,a.txt,one/a.txt,2,<time>\r\n"
         "2,b.txt,one/two/b.txt,3,<time>\r\n3,c.txt,one/two/three/c.txt,4,<time>\r\n"
         "4,z.txt,one/z.txt,1,<time>\r\n"},
        {"without_recursive", {"--subtotals"}, 1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const CounterRun run =
            runCounter(row.options + QStringList{"--output", "-", dir.path(), "?.txt"});
        EXPECT_EQ(run.exitCode, row.exitCode) << run.err.constData();
        EXPECT_EQ(withoutTimes(run.out), row.out);
    }
    const CounterRun json = runCounter(
        {"--recursive", "--subtotals", "--format", "json", "--output", "-", dir.path(), "?.txt"});
    const QJsonArray folders = QJsonDocument::fromJson(json.out).object()["folders"].toArray();
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders[1].toObject()["path"].toString(), "one/two");
    EXPECT_EQ(folders[1].toObject()["files"].toInteger(), 2);
    EXPECT_EQ(folders[2].toObject()["words"].toInteger(), 10);
}

// The JSON baseline beside the report: both written, or, when the JSON cannot be, neither
// earlier file replaced and the JSON file named.
TEST_F(CliTest, SaveJsonBesideTheReport) {
    QTemporaryDir out;
    const QString saved = out.filePath("base.json");
    const CounterRun run = runCounter({"--save-json", saved, dir.path(), "*.md"});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(read(dir.filePath("tallix.txt")), "Beta file.md (2 Words)\r\n\r\nTotal Words: 2\r\n");
    const QJsonObject report = QJsonDocument::fromJson(read(saved)).object();
    EXPECT_EQ(report["total"].toInteger(), 2);
    EXPECT_TRUE(QDateTime::fromString(report["written"].toString(), Qt::ISODate).isValid());

    write("tallix.txt", "an earlier report");
    const QString nowhere = out.filePath("missing/base.json");
    const CounterRun failed = runCounter({"--save-json", nowhere, dir.path(), "*.md"});
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_TRUE(failed.err.contains(nowhere.toUtf8())) << failed.err.constData();
    EXPECT_EQ(read(dir.filePath("tallix.txt")), "an earlier report");

    const struct {
        QStringList options;
        const char* err;
    } refused[] = {
        {{"--save-json", dir.filePath("tallix.txt")}, "names the report file itself"},
        {{"--save-json", "-"}, "--save-json needs a file name"},
        {{"--compare", ""}, "--compare needs"},
    };
    for (const auto& row : refused) {
        const CounterRun usage = runCounter(row.options + QStringList{dir.path(), "*.md"});
        EXPECT_EQ(usage.exitCode, 1);
        EXPECT_TRUE(usage.err.contains(row.err)) << usage.err.constData();
        EXPECT_EQ(read(dir.filePath("tallix.txt")), "an earlier report");
    }
}

TEST(CliInfo, HelpAndVersion) {
    const CounterRun version = runCounter({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), QByteArray("quorvane-count 1.0.0"));
    const CounterRun help = runCounter({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--help-all"));
    const CounterRun helpAll = runCounter({"--help-all"});
    EXPECT_EQ(helpAll.exitCode, 0) << helpAll.err.constData();
    EXPECT_TRUE(helpAll.out.contains("--numbered"));
    for (const char* option :
         {"--numbered", "--date-created", "--remove-extension", "--underscores", "--hyphens",
          "--case", "--output", "--format", "--rule", "--document-text", "--document-timeout",
          "--recursive", "--quiet"}) {
        EXPECT_TRUE(help.out.contains(option)) << option;
    }
    EXPECT_FALSE(help.out.contains("yield"));
}

// The counter runs on servers without a display or its libraries: Qt Core only. The
// document libraries belong to the reader worker alone, so they cost a run nothing at start
// and a hostile document never reaches them in this process.
TEST(CliInfo, LinksNoDesktopOrDocumentLibrary) {
    const QString ldd = QStandardPaths::findExecutable(QStringLiteral("ldd"));
    if (ldd.isEmpty()) {
        GTEST_SKIP() << "no ldd on this machine";
    }
    QProcess process;
    process.start(ldd, {QStringLiteral(QUORVANE_COUNT_BIN)});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    const QByteArray libraries = process.readAllStandardOutput();
    // Proves that the list is the real one and not an empty answer.
    ASSERT_TRUE(libraries.contains("libQt6Core")) << libraries.constData();
    for (const char* unwanted : {"libQt6Gui", "libQt6Widgets", "libpoppler", "libxml2",
                                 "libzip", "libgsf", "libseccomp"}) {
        EXPECT_FALSE(libraries.contains(unwanted)) << unwanted << " in\n" << libraries.constData();
    }
}

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
