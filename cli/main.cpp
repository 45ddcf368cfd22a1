// quorvane-count: the headless counter. Writes the same report as the window, from a
// script or on a machine without a display.
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "QuorvaneVersion.h"
#include "cli/CliHost.h"
#include "count/CountJob.h"
#include "count/CsvReportFormat.h"
#include "count/JsonReportFormat.h"
#include "documents/ContentSources.h"
#include "platform/Console.h"
#include "platform/CreationDates.h"
#include "platform/FileName.h"
#include "platform/FolderListing.h"
#include "platform/Paths.h"
#include "platform/TerminationSignals.h"

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

// More than FOLDER and PATTERN is nearly always a pattern the shell expanded into the
// names it matched: the example shown is those names' own extension when they share one.
QString tooManyArguments(const QStringList& extra) {
    QString extension;
    for (const QString& argument : extra) {
        const QString name = argument.mid(argument.lastIndexOf(u'/') + 1);
        const qsizetype dot = name.lastIndexOf(u'.');
        const QString own = dot > 0 ? name.mid(dot + 1) : QString();
        const bool plain = !own.isEmpty() && std::all_of(own.begin(), own.end(), [](QChar c) {
            return c.isLetterOrNumber() || c == u'_' || c == u'-';
        });
        if (!plain || (!extension.isEmpty() && own != extension)) {
            extension.clear();
            break;
        }
        extension = own;
    }
    return QStringLiteral("too many arguments: quote the pattern, as in '*.%1'")
        .arg(extension.isEmpty() ? QStringLiteral("txt") : extension);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything else: a signal must cancel a count, never leave half of one.
    TerminationSignals::install();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-count"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kText));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Counts the words of every file in FOLDER that matches PATTERN and writes the report "
        "tallix.txt into FOLDER, the same report the Quorvane window writes.\n\n"
        "Exit status: 0 all files counted; 1 usage error or a folder that cannot be listed; "
        "2 report written but some files could not be read, or with --recursive some "
        "subfolders could not be listed (named on standard error); "
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
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("Report format: text (default: the report the window writes), csv, tsv "
                       "or json."),
        QStringLiteral("format"), QStringLiteral("text"));
    const QCommandLineOption rule(
        QStringLiteral("rule"),
        QStringLiteral("How words are told apart: classic (default) or unicode (the text in its "
                       "own encoding, the letters of every script)."),
        QStringLiteral("rule"), QStringLiteral("classic"));
    const QCommandLineOption documentText(
        QStringLiteral("document-text"),
        QStringLiteral("Count the text that documents (word processor files, PDF, HTML...) "
                       "show, not their bytes."));
    const QCommandLineOption documentTimeout(
        QStringLiteral("document-timeout"),
        QStringLiteral("With --document-text: a document whose reader shows no progress for "
                       "SECONDS (default %1) is not counted.")
            .arg(ReaderLimits::kDefaultTimeoutSeconds),
        QStringLiteral("SECONDS"), QString::number(ReaderLimits::kDefaultTimeoutSeconds));
    const QCommandLineOption recursive(
        QStringLiteral("recursive"),
        QStringLiteral("Count the files of every subfolder too, named by their path from "
                       "FOLDER; hidden folders and links to folders are left out."));
    QCommandLineOption yieldGap(QStringLiteral("report-yield-gap"),
                                QStringLiteral("Print the longest time between two yields."));
    yieldGap.setFlags(QCommandLineOption::HiddenFromHelp);
    // For measuring: how many threads count (default one per core).
    QCommandLineOption threadCount(QStringLiteral("threads"), QString(), QStringLiteral("N"));
    threadCount.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(threadCount);
    parser.addOptions({numbered, dateCreated, removeExtension, underscores, hyphens, letterCase,
                       output, format, rule, documentText, documentTimeout, recursive, yieldGap});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The folder to count."));
    parser.addPositionalArgument(QStringLiteral("PATTERN"),
                                 QStringLiteral("Files to count, such as \"*.txt\" or "
                                                "\"*.txt;*.md\" (default \"*.*\": every file)."),
                                 QStringLiteral("[PATTERN]"));

    const QStringList arguments = Console::arguments(argc, argv);
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    if (parser.isSet(help)) {
        parser.showHelp(kAllCounted);
    }
    if (parser.isSet(QStringLiteral("help-all"))) {
        parser.process(arguments);  // prints the help with Qt's own options and exits
    }
    if (parser.isSet(versionOption)) {
        parser.showVersion();
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || positional.size() > 2) {
        return usageError(positional.isEmpty() ? QStringLiteral("missing FOLDER")
                                               : tooManyArguments(positional.mid(1)));
    }
    static const QStringList caseNames = {QStringLiteral("untouched"), QStringLiteral("upper"),
                                          QStringLiteral("lower"), QStringLiteral("title")};
    const int caseChoice = static_cast<int>(caseNames.indexOf(parser.value(letterCase)));
    if (caseChoice < 0) {
        return usageError(QStringLiteral("unknown letter case \"%1\"; use untouched, upper, "
                                         "lower or title")
                              .arg(parser.value(letterCase)));
    }

    static const QStringList formatNames = {QStringLiteral("text"), QStringLiteral("csv"),
                                            QStringLiteral("tsv"), QStringLiteral("json")};
    const qsizetype formatChoice = formatNames.indexOf(parser.value(format));
    if (formatChoice < 0) {
        return usageError(QStringLiteral("unknown format \"%1\"; use text, csv, tsv or json")
                              .arg(parser.value(format)));
    }
    static const QStringList ruleNames = {QStringLiteral("classic"), QStringLiteral("unicode")};
    const qsizetype ruleChoice = ruleNames.indexOf(parser.value(rule));
    if (ruleChoice < 0) {
        return usageError(QStringLiteral("unknown rule \"%1\"; use classic or unicode")
                              .arg(parser.value(rule)));
    }
    const WordRule wordRule = ruleChoice == 1 ? WordRule::Unicode : WordRule::Classic;

    bool timeoutOk = false;
    const int timeoutSeconds = parser.value(documentTimeout).toInt(&timeoutOk);
    if (!timeoutOk || timeoutSeconds < 1 || timeoutSeconds > 86400) {
        return usageError(QStringLiteral("--document-timeout takes whole seconds from 1 to 86400"));
    }

    // An empty FILE would quietly fall back to FOLDER/tallix.txt and replace that report.
    if (parser.isSet(output) && parser.value(output).isEmpty()) {
        return usageError(QStringLiteral("--output needs a file name, or \"-\""));
    }

    QString folderError;
    const QString folder = Paths::resolveFolder(positional[0], folderError);
    if (folder.isEmpty()) {
        printError(QStringLiteral("cannot list \"%1\": %2")
                       .arg(FileName::display(positional[0]), folderError));
        return kUsageError;
    }
    const QString pattern =
        positional.size() > 1 ? positional[1] : QString::fromLatin1(kDefaultPattern);
    const FolderList listing = parser.isSet(recursive)
                                   ? FolderListing::listRecursive(folder, pattern)
                                   : FolderListing::list(folder, pattern);
    if (!listing.ok) {
        printError(QStringLiteral("cannot list \"%1\": %2")
                       .arg(FileName::display(folder), listing.error));
        return kUsageError;
    }
    // A typing slip in the pattern must not replace a good report with an empty one.
    const QString reportName = QString::fromLatin1(CountJob::kReportName);
    if (std::none_of(listing.names.begin(), listing.names.end(), [&](const QString& path) {
            return path.mid(path.lastIndexOf(u'/') + 1) != reportName;
        })) {
        printError(QStringLiteral("no file in %1 matches %2")
                       .arg(FileName::display(folder), FileName::display(pattern)));
        return kUsageError;
    }

    ReportOptions options;
    options.numlist = parser.isSet(numbered) ? 1 : 0;
    options.datecreated = parser.isSet(dateCreated) ? 1 : 0;
    options.remext = parser.isSet(removeExtension) ? 1 : 0;
    options.remunderscore = parser.isSet(underscores) ? 1 : 0;
    options.remhyphen = parser.isSet(hyphens) ? 1 : 0;

    CountRequest request;
    request.folder = folder;
    request.entries = listing.names;
    request.options = [options] { return options; };
    request.letterCase = [caseChoice] { return caseChoice; };
    request.rule = wordRule;
    const CreationDates dates;
    request.dateCreated = [&dates](const QString& path) { return dates.dateCreated(path); };
    // Standard output gets the report once it is complete, never a part of one.
    const bool toStandardOutput = parser.value(output) == QLatin1String(kStandardOutput);
    if (toStandardOutput) {
        request.reportPath = QStringLiteral("-");
        request.reportTarget = ReportFile::Target::StandardOutput;
    } else if (parser.isSet(output)) {
        request.reportPath = parser.value(output);
        request.reportTarget = ReportFile::Target::UserNamed;
    }

    CountParts countParts;
    countParts.threads = qMax(0, parser.value(threadCount).toInt());
    countParts.makeSource = contentSourceFactory(parser.isSet(documentText), timeoutSeconds);
    // The text layout is the job's own; the others only need to know what was counted.
    std::unique_ptr<ReportFormat> reportFormat;
    if (formatChoice == 1 || formatChoice == 2) {
        reportFormat = std::make_unique<CsvReportFormat>(
            formatChoice == 1 ? CsvReportFormat::Separator::Comma : CsvReportFormat::Separator::Tab);
    } else if (formatChoice == 3) {
        reportFormat = std::make_unique<JsonReportFormat>(JsonReportFormat::About{
            folder, pattern, wordRule, parser.isSet(documentText)});
    }
    countParts.format = reportFormat.get();
    CountJob job(std::move(request), countParts);
    CliHost host;
    host.setShowProgress(Console::standardErrorIsTerminal());
    host.attach(job);
    const CountResult result = job.run();
    host.finish();
    if (parser.isSet(yieldGap)) {
        std::fprintf(stderr, "longest gap between yields: %.3f ms\n", host.longestYieldGapMs());
    }
    if (result.outcome == CountResult::Outcome::Cancelled) {
        const int signal = TerminationSignals::caught();
        printError(QStringLiteral("stopped; the report was not written"));
        return signal != 0 ? TerminationSignals::exitStatusFor(signal) : kReportNotWritten;
    }
    if (result.outcome == CountResult::Outcome::ReportFailed) {
        printError(toStandardOutput
                       ? QStringLiteral("cannot write to standard output: %1").arg(result.reason)
                       : result.error);
        return kReportNotWritten;
    }
    for (const FolderProblem& subfolder : listing.unreadable) {
        printError(QStringLiteral("not listed: %1: %2")
                       .arg(FileName::display(subfolder.path), subfolder.reason));
    }
    for (const NotCounted& file : result.notCounted) {
        printError(
            QStringLiteral("not counted: %1: %2").arg(FileName::display(file.name), file.reason));
    }
    return result.notCounted.isEmpty() && listing.unreadable.isEmpty() ? kAllCounted
                                                                        : kSomeNotCounted;
}
