#include "QuorvaneVersion.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace quorvane {
namespace {

QString runTool(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        *exitCode = -1;
        return process.errorString();
    }
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Standard output and standard error apart, with a few more variables in the environment.
ToolRun runApart(const QString& program, const QStringList& arguments,
                 const QStringList& environment = {}) {
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        variables.insert(entry.section('=', 0, 0), entry.section('=', 1));
    }
    process.setProcessEnvironment(variables);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(60000)) {
        run.err = process.errorString();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

TEST(AppStream, MetainfoPassesAppstreamcliValidate) {
    const QString validator = QStandardPaths::findExecutable("appstreamcli");
    if (validator.isEmpty()) {
        GTEST_SKIP() << "appstreamcli not found; install appstream";
    }
    const ToolRun run = runApart(
        validator, {"validate", "--no-net",
                    QStringLiteral(QUORVANE_DATA_DIR "/example.plumwick.Quorvane.metainfo.xml")});
    EXPECT_EQ(run.exitCode, 0) << (run.out + run.err).toStdString();
    // Infos (an unknown top-level domain, a plain http link) pass; warnings and errors not.
    EXPECT_FALSE(
        run.out.contains(QRegularExpression("^[WE]: ", QRegularExpression::MultilineOption)))
        << run.out.toStdString();
}

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty()) {
        GTEST_SKIP() << "desktop-file-validate not found; install desktop-file-utils";
    }
    int exitCode = 0;
    const QString output =
        runTool(validator, {QStringLiteral(QUORVANE_DATA_DIR "/quorvane.desktop")}, &exitCode);
    EXPECT_EQ(exitCode, 0) << output.toStdString();
    EXPECT_TRUE(output.trimmed().isEmpty()) << output.toStdString();
}

struct InstalledFile {
    const char* path;  // under the data folder of the prefix
    int iconSize;      // 0: not a bitmap
};

// What `cmake --install` puts under a prefix of its own, installed once for each suite
// that looks at it.
class InstalledPrefix : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new QTemporaryDir;
        ASSERT_TRUE(prefix_->isValid());
        for (const char* component : {"desktop", "shell"}) {
            int exitCode = 0;
            const QString output = runTool(QStringLiteral(QUORVANE_CMAKE_COMMAND),
                                           {"--install", QUORVANE_BINARY_DIR, "--component",
                                            component, "--prefix", prefix_->path()},
                                           &exitCode);
            ASSERT_EQ(exitCode, 0) << output.toStdString();
        }
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }

    // path: under the data folder of the prefix.
    static QString installed(const QString& path) {
        return prefix_ == nullptr
                   ? QString()
                   : prefix_->filePath(QStringLiteral(QUORVANE_INSTALL_DATADIR "/") + path);
    }

    static QTemporaryDir* prefix_;
};

QTemporaryDir* InstalledPrefix::prefix_ = nullptr;

// The programs as installed, with nothing telling them where the reader worker is: the
// counter finds the one installed beside it and reads a document through it.
TEST(ProgramsInstall, CounterReadsDocumentsThroughTheInstalledReader) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    int exitCode = 0;
    const QString output = runTool(QStringLiteral(QUORVANE_CMAKE_COMMAND),
                                   {"--install", QUORVANE_BINARY_DIR, "--component", "Unspecified",
                                    "--prefix", prefix.path()},
                                   &exitCode);
    ASSERT_EQ(exitCode, 0) << output.toStdString();
    const QString counter = prefix.filePath(QStringLiteral("bin/quorvane-count"));
    if (!QFile::exists(prefix.filePath(QStringLiteral("libexec/quorvane/quorvane-reader")))) {
        GTEST_SKIP() << "this build reads no documents";
    }
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVANE_SOURCE_DIR "/tests/data/documents/garden.docx"),
                            folder.filePath(QStringLiteral("garden.docx"))));
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.remove(QStringLiteral("QUORVANE_READER"));
    process.setProcessEnvironment(variables);
    process.start(counter, {"--document-text", "--output", "-", folder.path(), "*.docx"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    EXPECT_TRUE(process.readAllStandardOutput().contains("garden.docx (38 Words)"));
}

class DesktopInstall : public InstalledPrefix,
                       public ::testing::WithParamInterface<InstalledFile> {};

TEST_P(DesktopInstall, PutsTheFileWhereDesktopsLook) {
    ASSERT_NE(prefix_, nullptr);
    const QString path = prefix_->filePath(QStringLiteral(QUORVANE_INSTALL_DATADIR "/") +
                                           QString::fromUtf8(GetParam().path));
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    if (GetParam().iconSize > 0) {
        const QImage icon(path);
        EXPECT_EQ(icon.size(), QSize(GetParam().iconSize, GetParam().iconSize));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DesktopInstall,
    ::testing::Values(InstalledFile{"applications/quorvane.desktop", 0},
                      InstalledFile{"icons/hicolor/16x16/apps/quorvane.png", 16},
                      InstalledFile{"icons/hicolor/32x32/apps/quorvane.png", 32},
                      InstalledFile{"icons/hicolor/48x48/apps/quorvane.png", 48},
                      InstalledFile{"icons/hicolor/128x128/apps/quorvane.png", 128},
                      InstalledFile{"icons/hicolor/scalable/apps/quorvane.svg", 0},
                      InstalledFile{"metainfo/example.plumwick.Quorvane.metainfo.xml", 0},
                      InstalledFile{"bash-completion/completions/quorvane-count", 0},
                      InstalledFile{"man/man1/quorvane.1", 0},
                      InstalledFile{"man/man1/quorvane-count.1", 0}));

struct ManualPage {
    const char* page;
    QStringList mentions;  // in the page, formatted or not
    QStringList shown;     // in the formatted page
};

class ManualPages : public InstalledPrefix, public ::testing::WithParamInterface<ManualPage> {};

// Formatted as man shows it, without a warning from the formatter, with every section a
// reader looks for and the version it was built as.
TEST_P(ManualPages, FormatCleanlyWithTheirSections) {
    ASSERT_NE(prefix_, nullptr);
    const QString path = installed("man/man1/" + QString::fromUtf8(GetParam().page) + ".1");
    QStringList mentions = GetParam().mentions;
    QStringList shown = GetParam().shown;
    mentions += QStringList{"NAME",     "SYNOPSIS",    "DESCRIPTION",
                            "OPTIONS",  "EXIT STATUS", "FILES",
                            "EXAMPLES", "SEE ALSO",    QString::fromLatin1(version::kText)};
    const QString man = QStandardPaths::findExecutable("man");
    QString text;
    if (man.isEmpty()) {
        // Without man the source is read: section headings as written.
        QFile source(path);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        text = QString::fromUtf8(source.readAll()).replace("\\-", "-").replace(".SH ", "");
        text.remove('"');
    } else {
        const ToolRun run =
            runApart(man, {"--warnings", "-l", path},
                     {"MANWIDTH=200", "MANPAGER=cat", "MAN_DISABLE_SECCOMP=1", "LC_ALL=C.UTF-8"});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.trimmed().isEmpty()) << run.err.toStdString();
        text = run.out;
        mentions += shown;
    }
    for (const QString& mention : mentions) {
        EXPECT_TRUE(text.contains(mention))
            << mention.toStdString() << " missing from " << GetParam().page;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ManualPages,
    ::testing::Values(ManualPage{"quorvane", {"F10", "Harvex.conf", "tallix.txt", "143"}, {}},
                      ManualPage{"quorvane-count",
                                 {"--numbered", "--date-created", "--remove-extension",
                                  "--underscores", "--hyphens", "--case", "--output", "--format",
                                  "--rule", "--document-text", "--document-timeout",
                                  "--recursive", "--quiet", "--subtotals", "--compare",
                                  "--save-json", "--help", "--version", "Quote it",
                                  "130"},
                                 {"untouched|upper|lower|title", "text|csv|tsv|json",
                                  "classic|unicode", "'*.txt'"}}));

struct Completion {
    const char* words;   // the command line so far, '|' between words; the last is completed
    const char* offers;  // what is offered, sorted, ' ' between
};

class BashCompletion : public InstalledPrefix, public ::testing::WithParamInterface<Completion> {};

// The installed file, sourced into bash and asked as bash asks it on Tab; "@" in a row
// stands for a folder holding the folders "alpha" and "beta" and the file "afile".
TEST_P(BashCompletion, OffersWhatFits) {
    const QString bash = QStandardPaths::findExecutable("bash");
    if (bash.isEmpty()) {
        GTEST_SKIP() << "no bash on this machine";
    }
    ASSERT_NE(prefix_, nullptr);
    const QString script = installed("bash-completion/completions/quorvane-count");
    const ToolRun syntax = runApart(bash, {"-n", script});
    ASSERT_EQ(syntax.exitCode, 0) << syntax.err.toStdString();

    QTemporaryDir tree;
    ASSERT_TRUE(QDir(tree.path()).mkpath("alpha") && QDir(tree.path()).mkpath("beta"));
    QFile(tree.filePath("afile")).open(QIODevice::WriteOnly);
    const QStringList words =
        QString::fromUtf8(GetParam().words).replace('@', tree.path() + "/").split('|');
    const QString ask = QStringLiteral(
        "source \"$0\" || exit 9; shift; COMP_WORDS=(quorvane-count \"$@\"); "
        "COMP_CWORD=$#; _quorvane_count || exit 8; printf '%s\\n' \"${COMPREPLY[@]}\" | sort");
    const ToolRun run = runApart(bash, QStringList{"-c", ask, script} + QStringList{"-"} + words);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QString offered =
        run.out.trimmed().replace(tree.path() + "/", "@").split('\n').join(' ').trimmed();
    EXPECT_EQ(offered, QString::fromUtf8(GetParam().offers)) << GetParam().words;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BashCompletion,
    ::testing::Values(Completion{"--re", "--recursive --remove-extension"},
                      Completion{
                          "--",
                          "--case --compare --date-created --document-text --document-timeout "
                          "--format --help --help-all "
                          "--hyphens --numbered --output --quiet --recursive --remove-extension "
                          "--rule --save-json --subtotals "
                          "--underscores --version"},
                      Completion{"--case|", "lower title untouched upper"},
                      Completion{"--case|u", "untouched upper"}, Completion{"--case|=|ti", "title"},
                      Completion{"--case=lo", "lower"},
                      Completion{"--format|", "csv json text tsv"},
                      Completion{"--rule|", "classic unicode"},
                      // FOLDER: folders only.
                      Completion{"@", "@alpha @beta"}, Completion{"--numbered|@a", "@alpha"},
                      // PATTERN: quoted, so that the shell leaves it to the counter.
                      Completion{"@alpha|", "'*.*' '*.dat' '*.doc' '*.txt'"},
                      Completion{"@alpha|'*.t", "'*.txt'"},
                      Completion{"--case|upper|--output|out.txt|@alpha|*.d", "'*.dat' '*.doc'"},
                      Completion{"@alpha|'*.txt'|", ""},
                      // --output: files and folders, or standard output.
                      Completion{"--output|@a", "@afile @alpha"}, Completion{"--output|-", "-"}));

struct ResourceValue {
    const char* key;
    QString value;
};

class VersionResource : public ::testing::TestWithParam<ResourceValue> {};

// The Windows version resource is configured on every platform so that it can be read here.
TEST_P(VersionResource, CarriesTheVersionRecord) {
    QFile rc(QStringLiteral(QUORVANE_VERSION_RC));
    ASSERT_TRUE(rc.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(rc.readAll());
    const QString line = QStringLiteral("VALUE \"%1\", \"%2\"")
                             .arg(QString::fromUtf8(GetParam().key), GetParam().value);
    EXPECT_TRUE(text.contains(line)) << line.toStdString();
    const QString numbers = QStringLiteral("FILEVERSION %1,%2,%3,0")
                                .arg(version::kMajor)
                                .arg(version::kMinor)
                                .arg(version::kRevision);
    EXPECT_TRUE(text.contains(numbers)) << numbers.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Values, VersionResource,
    ::testing::Values(ResourceValue{"FileVersion", version::kText},
                      ResourceValue{"FileDescription", version::kFileDescription},
                      ResourceValue{"LegalCopyright", version::kLegalCopyright},
                      ResourceValue{"ProductName", version::kProductName}));

}  // namespace
}  // namespace quorvane
