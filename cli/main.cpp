// quorvane-count: the headless counter. Writes the same report as the window, from a
// script or on a machine without a display.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define QUORVANE_ISATTY _isatty
#define QUORVANE_FILENO _fileno
#else
#include <unistd.h>
#define QUORVANE_ISATTY isatty
#define QUORVANE_FILENO fileno
#endif

#include "CliHost.h"
#include "CountJob.h"
#include "FolderListing.h"
#include "QuorvaneVersion.h"

using namespace quorvane;

namespace {

enum ExitCode : int {
    kAllCounted = 0,
    kUsageError = 1,
    kSomeNotCounted = 2,
    kReportNotWritten = 3,
};

constexpr const char* kDefaultPattern = "*.*";
constexpr const char* kStandardOutput = "-";

void printError(const QString& text) {
    std::fprintf(stderr, "quorvane-count: %s\n", text.toLocal8Bit().constData());
}

int usageError(const QString& text) {
    printError(text);
    std::fprintf(stderr, "Try 'quorvane-count --help' for more information.\n");
    return kUsageError;
}

bool copyToStandardOutput(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the report's CR LF must not become CR CR LF
#endif
    const QByteArray bytes = file.readAll();
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) !=
            static_cast<size_t>(bytes.size()) ||
        std::fflush(stdout) != 0) {
        error = QStringLiteral("cannot write to standard output");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-count"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kText));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Counts the words of every file in FOLDER that matches PATTERN and writes the report "
        "tallix.txt into FOLDER, the same report the Quorvane window writes.\n\n"
        "Exit status: 0 all files counted; 1 usage error or a folder that cannot be listed; "
        "2 report written but some files could not be read (named on standard error); "
        "3 report not written."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption numbered(QStringLiteral("numbered"),
                                      QStringLiteral("Number the lines: \"1. \" in front."));
    const QCommandLineOption dateCreated(QStringLiteral("date-created"),
                                         QStringLiteral("Add each file's creation date."));
    const QCommandLineOption removeExtension(QStringLiteral("remove-extension"),
                                             QStringLiteral("Cut each name at its first \".\"."));
    const QCommandLineOption underscores(QStringLiteral("underscores"),
                                         QStringLiteral("Turn \"_\" in names into spaces."));
    const QCommandLineOption hyphens(QStringLiteral("hyphens"),
                                     QStringLiteral("Turn \"-\" in names into spaces."));
    const QCommandLineOption letterCase(
        QStringLiteral("case"),
        QStringLiteral("Letter case of the lines: untouched (default), upper, lower or title."),
        QStringLiteral("case"), QStringLiteral("untouched"));
    const QCommandLineOption output(
        QStringLiteral("output"),
        QStringLiteral("Write the report to FILE instead of FOLDER/tallix.txt; \"-\" for "
                       "standard output."),
        QStringLiteral("FILE"));
    QCommandLineOption yieldGap(QStringLiteral("report-yield-gap"),
                                QStringLiteral("Print the longest time between two yields."));
    yieldGap.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({numbered, dateCreated, removeExtension, underscores, hyphens, letterCase,
                       output, yieldGap});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The folder to count."));
    parser.addPositionalArgument(QStringLiteral("PATTERN"),
                                 QStringLiteral("Files to count, such as \"*.txt\" or "
                                                "\"*.txt;*.md\" (default \"*.*\": every file)."),
                                 QStringLiteral("[PATTERN]"));

    if (!parser.parse(QCoreApplication::arguments())) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        parser.showHelp(kAllCounted);
    }
    if (parser.isSet(versionOption)) {
        parser.showVersion();
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || positional.size() > 2) {
        return usageError(positional.isEmpty() ? QStringLiteral("missing FOLDER")
                                               : QStringLiteral("too many arguments"));
    }
    static const QStringList caseNames = {QStringLiteral("untouched"), QStringLiteral("upper"),
                                          QStringLiteral("lower"), QStringLiteral("title")};
    const int caseChoice = static_cast<int>(caseNames.indexOf(parser.value(letterCase)));
    if (caseChoice < 0) {
        return usageError(QStringLiteral("unknown letter case \"%1\"; use untouched, upper, "
                                         "lower or title")
                              .arg(parser.value(letterCase)));
    }

    // An empty FILE would quietly fall back to FOLDER/tallix.txt and replace that report.
    if (parser.isSet(output) && parser.value(output).isEmpty()) {
        return usageError(QStringLiteral("--output needs a file name, or \"-\""));
    }

    const QString folder = QDir::cleanPath(QFileInfo(positional[0]).absoluteFilePath());
    const QString pattern =
        positional.size() > 1 ? positional[1] : QString::fromLatin1(kDefaultPattern);
    const FolderList listing = FolderListing::list(folder, pattern);
    if (!listing.ok) {
        printError(QStringLiteral("cannot list \"%1\": %2").arg(folder, listing.error));
        return kUsageError;
    }

    ReportOptions options;
    options.numlist = parser.isSet(numbered) ? 1 : 0;
    options.datecreated = parser.isSet(dateCreated) ? 1 : 0;
    options.remext = parser.isSet(removeExtension) ? 1 : 0;
    options.remunderscore = parser.isSet(underscores) ? 1 : 0;
    options.remhyphen = parser.isSet(hyphens) ? 1 : 0;

    CliHost host(folder, listing.names, options, caseChoice);
    host.setShowProgress(QUORVANE_ISATTY(QUORVANE_FILENO(stderr)) != 0);
    CountJob job(host);
    job.setProgressCallback([&host](const CountProgress& p) { host.onProgress(p); });

    // Standard output gets the report once it is complete, never a part of one.
    QTemporaryDir scratch;
    const bool toStandardOutput = parser.value(output) == QLatin1String(kStandardOutput);
    if (toStandardOutput) {
        if (!scratch.isValid()) {
            printError(
                QStringLiteral("cannot create a temporary folder: %1").arg(scratch.errorString()));
            return kReportNotWritten;
        }
        job.setReportPath(scratch.filePath(QString::fromLatin1(CountJob::kReportName)));
    } else if (parser.isSet(output)) {
        job.setReportPath(parser.value(output));
    }

    const CountResult result = job.run();
    if (parser.isSet(yieldGap)) {
        std::fprintf(stderr, "longest gap between yields: %.3f ms\n", host.longestYieldGapMs());
    }
    if (result.outcome != CountResult::Outcome::Completed) {
        printError(result.error.isEmpty() ? QStringLiteral("the report was not written")
                                          : result.error);
        return kReportNotWritten;
    }
    if (toStandardOutput) {
        QString error;
        if (!copyToStandardOutput(result.reportPath, error)) {
            printError(error);
            return kReportNotWritten;
        }
    }
    for (const QString& name : result.notCounted) {
        printError(QStringLiteral("not counted: %1").arg(name));
    }
    return result.notCounted.isEmpty() ? kAllCounted : kSomeNotCounted;
}
