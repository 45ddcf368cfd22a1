// quorvane-count: the headless counter. Writes the same report as the window, from a
// script or on a machine without a display.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>
#include <optional>

#include "QuorvaneVersion.h"
#include "cli/CliHost.h"
#include "count/ComparedFormat.h"
#include "count/CountJob.h"
#include "count/CsvReportFormat.h"
#include "count/FileWarnings.h"
#include "count/EarlierReport.h"
#include "count/JsonReportFormat.h"
#include "count/SubtotalFormat.h"
#include "count/TeeReportFormat.h"
#include "count/TextReportFormat.h"
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

// What the command line asks for, once every value is checked.
struct CliOptions {
    QString folderArgument;  // FOLDER as typed
    QString pattern;
    ReportOptions report;
    LetterCase letterCase = LetterCase::Untouched;
    enum class Format { Text, Csv, Tsv, Json } format = Format::Text;
    WordRule rule = WordRule::Classic;
    bool documentText = false;
    int timeoutSeconds = ReaderLimits::kDefaultTimeoutSeconds;
    bool recursive = false;
    bool showYieldGap = false;
    bool quiet = false;  // no warnings on standard error
    int threads = 0;  // 0: one per core
    std::optional<ReadMethod> readMethod;  // none: the counter's own choice
    bool outputNamed = false;
    QString output;    // --output's FILE; "-" for standard output
    QString compare;   // --compare's EARLIER.json; empty when not comparing
    QString saveJson;  // --save-json's FILE; empty when not asked
    bool subtotals = false;
};

// The folder counted and the files in it the pattern selects.
struct Listed {
    QString folder;
    FolderList listing;
};

// The value at the position of `name` in `names`; none for a name not in the list.
template <typename T>
std::optional<T> valueNamed(const QStringList& names, const QList<T>& values, const QString& name) {
    const qsizetype at = names.indexOf(name);
    return at < 0 ? std::nullopt : std::optional<T>(values[at]);
}

// The counter's options and what it says of them in --help.
class CommandLine {
public:
    CommandLine();

    // The checked options, or the exit status when the program ends here: a usage error
    // (reported), or the help or the version shown.
    std::optional<CliOptions> read(const QStringList& arguments, int& exitCode);

private:
    // Checks the values of the options, filling them in; false, reported, at the first that
    // is wrong.
    bool check(CliOptions& options, int& exitCode) const;
    bool checkNames(CliOptions& options, int& exitCode) const;
    bool checkExtras(CliOptions& options, int& exitCode) const;

    QCommandLineParser parser_;
    // Made by the parser itself, so declared after it.
    const QCommandLineOption help_ = parser_.addHelpOption();
    const QCommandLineOption version_ = parser_.addVersionOption();
    const QCommandLineOption numbered_{QStringLiteral("numbered"),
                                       QStringLiteral("Number the lines: \"1. \" in front.")};
    const QCommandLineOption dateCreated_{QStringLiteral("date-created"),
                                          QStringLiteral("Add each file's creation date.")};
    const QCommandLineOption removeExtension_{QStringLiteral("remove-extension"),
                                              QStringLiteral("Cut each name at its first \".\".")};
    const QCommandLineOption underscores_{QStringLiteral("underscores"),
                                          QStringLiteral("Turn \"_\" in names into spaces.")};
    const QCommandLineOption hyphens_{QStringLiteral("hyphens"),
                                      QStringLiteral("Turn \"-\" in names into spaces.")};
    const QCommandLineOption letterCase_{
        QStringLiteral("case"),
        QStringLiteral("Letter case of the lines: untouched (default), upper, lower or title."),
        QStringLiteral("case"), QStringLiteral("untouched")};
    const QCommandLineOption output_{
        QStringLiteral("output"),
        QStringLiteral("Write the report to FILE instead of FOLDER/tallix.txt; \"-\" for "
                       "standard output."),
        QStringLiteral("FILE")};
    const QCommandLineOption format_{
        QStringLiteral("format"),
        QStringLiteral("Report format: text (default: the report the window writes), csv, tsv "
                       "or json."),
        QStringLiteral("format"), QStringLiteral("text")};
    const QCommandLineOption rule_{
        QStringLiteral("rule"),
        QStringLiteral("How words are told apart: classic (default) or unicode (the text in its "
                       "own encoding, the letters of every script)."),
        QStringLiteral("rule"), QStringLiteral("classic")};
    const QCommandLineOption documentText_{
        QStringLiteral("document-text"),
        QStringLiteral("Count the text that documents (word processor files, PDF, HTML...) "
                       "show, not their bytes.")};
    const QCommandLineOption documentTimeout_{
        QStringLiteral("document-timeout"),
        QStringLiteral("With --document-text: a document whose reader shows no progress for "
                       "SECONDS (default %1) is not counted.")
            .arg(ReaderLimits::kDefaultTimeoutSeconds),
        QStringLiteral("SECONDS"), QString::number(ReaderLimits::kDefaultTimeoutSeconds)};
    const QCommandLineOption recursive_{
        QStringLiteral("recursive"),
        QStringLiteral("Count the files of every subfolder too, named by their path from "
                       "FOLDER; hidden folders and links to folders are left out.")};
    const QCommandLineOption quiet_{
        QStringLiteral("quiet"),
        QStringLiteral("Keep warnings about counted files (text in UTF-16, a binary file, a "
                       "PDF without text) off standard error; a JSON report still has them.")};
    const QCommandLineOption compare_{
        QStringLiteral("compare"),
        QStringLiteral("Show what changed since EARLIER, a JSON report of an earlier count with "
                       "the same --rule and --document-text: each file's change in words, the "
                       "new files and the files gone since."),
        QStringLiteral("EARLIER")};
    const QCommandLineOption saveJson_{
        QStringLiteral("save-json"),
        QStringLiteral("Also write the JSON report to FILE, as a baseline for --compare."),
        QStringLiteral("FILE")};
    const QCommandLineOption subtotals_{
        QStringLiteral("subtotals"),
        QStringLiteral("With --recursive: the words of each subfolder after its last file.")};
    QCommandLineOption yieldGap_{QStringLiteral("report-yield-gap"),
                                 QStringLiteral("Print the longest time between two yields.")};
    // For measuring: how many threads count (default one per core).
    QCommandLineOption threadCount_{QStringLiteral("threads"), QString(), QStringLiteral("N")};
    // For measuring: whether files are read into a buffer or mapped ("read" or "map").
    QCommandLineOption readMethod_{QStringLiteral("io"), QString(), QStringLiteral("METHOD")};
};

CommandLine::CommandLine() {
    parser_.setApplicationDescription(QStringLiteral(
        "Counts the words of every file in FOLDER that matches PATTERN and writes the report "
        "tallix.txt into FOLDER, the same report the Quorvane window writes.\n\n"
        "Exit status: 0 all files counted; 1 usage error or a folder that cannot be listed; "
        "2 report written but some files could not be read, or with --recursive some "
        "subfolders could not be listed (named on standard error); "
        "3 report not written (or the file of --save-json not written)."));
    yieldGap_.setFlags(QCommandLineOption::HiddenFromHelp);
    threadCount_.setFlags(QCommandLineOption::HiddenFromHelp);
    readMethod_.setFlags(QCommandLineOption::HiddenFromHelp);
    parser_.addOptions({threadCount_, readMethod_});
    parser_.addOptions({numbered_, dateCreated_, removeExtension_, underscores_, hyphens_,
                        letterCase_, output_, format_, rule_, documentText_, documentTimeout_,
                        recursive_, quiet_, compare_, saveJson_, subtotals_, yieldGap_});
    parser_.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The folder to count."));
    parser_.addPositionalArgument(QStringLiteral("PATTERN"),
                                  QStringLiteral("Files to count, such as \"*.txt\" or "
                                                 "\"*.txt;*.md\" (default \"*.*\": every file)."),
                                  QStringLiteral("[PATTERN]"));
}

std::optional<CliOptions> CommandLine::read(const QStringList& arguments, int& exitCode) {
    if (!parser_.parse(arguments)) {
        exitCode = usageError(parser_.errorText());
        return std::nullopt;
    }
    if (parser_.isSet(help_)) {
        parser_.showHelp(kAllCounted);
    }
    if (parser_.isSet(QStringLiteral("help-all"))) {
        parser_.process(arguments);  // prints the help with Qt's own options and exits
    }
    if (parser_.isSet(version_)) {
        parser_.showVersion();
    }
    CliOptions options;
    if (!check(options, exitCode)) {
        return std::nullopt;
    }
    options.report.numbered = parser_.isSet(numbered_);
    options.report.dateCreated = parser_.isSet(dateCreated_);
    options.report.trimExtension = parser_.isSet(removeExtension_);
    options.report.underscoresAsSpaces = parser_.isSet(underscores_);
    options.report.hyphensAsSpaces = parser_.isSet(hyphens_);
    options.documentText = parser_.isSet(documentText_);
    options.recursive = parser_.isSet(recursive_);
    options.showYieldGap = parser_.isSet(yieldGap_);
    options.quiet = parser_.isSet(quiet_);
    options.threads = qMax(0, parser_.value(threadCount_).toInt());
    options.outputNamed = parser_.isSet(output_);
    options.output = parser_.value(output_);
    if (!checkExtras(options, exitCode)) {
        return std::nullopt;
    }
    return options;
}

bool CommandLine::check(CliOptions& options, int& exitCode) const {
    const QStringList positional = parser_.positionalArguments();
    if (positional.isEmpty() || positional.size() > 2) {
        exitCode = usageError(positional.isEmpty() ? QStringLiteral("missing FOLDER")
                                                   : tooManyArguments(positional.mid(1)));
        return false;
    }
    options.folderArgument = positional[0];
    options.pattern = positional.size() > 1 ? positional[1] : QString::fromLatin1(kDefaultPattern);
    if (!checkNames(options, exitCode)) {
        return false;
    }
    if (parser_.isSet(readMethod_)) {
        options.readMethod = valueNamed<ReadMethod>(
            {QStringLiteral("read"), QStringLiteral("each"), QStringLiteral("map")},
            {ReadMethod::Read, ReadMethod::ReadEach, ReadMethod::Map}, parser_.value(readMethod_));
        if (!options.readMethod) {
            exitCode = usageError(QStringLiteral("unknown --io \"%1\"; use read, each or map")
                                      .arg(parser_.value(readMethod_)));
            return false;
        }
    }
    bool timeoutOk = false;
    options.timeoutSeconds = parser_.value(documentTimeout_).toInt(&timeoutOk);
    if (!timeoutOk || options.timeoutSeconds < 1 || options.timeoutSeconds > 86400) {
        exitCode =
            usageError(QStringLiteral("--document-timeout takes whole seconds from 1 to 86400"));
        return false;
    }
    // An empty FILE would quietly fall back to FOLDER/tallix.txt and replace that report.
    if (parser_.isSet(output_) && parser_.value(output_).isEmpty()) {
        exitCode = usageError(QStringLiteral("--output needs a file name, or \"-\""));
        return false;
    }
    return true;
}

// The options that add to the report: what they need, and files they may not share.
bool CommandLine::checkExtras(CliOptions& options, int& exitCode) const {
    options.subtotals = parser_.isSet(subtotals_);
    options.compare = parser_.value(compare_);
    options.saveJson = parser_.value(saveJson_);
    if (options.subtotals && !options.recursive) {
        exitCode = usageError(QStringLiteral("--subtotals needs --recursive"));
        return false;
    }
    if (parser_.isSet(compare_) && options.compare.isEmpty()) {
        exitCode = usageError(QStringLiteral("--compare needs the file name of a JSON report"));
        return false;
    }
    // Standard output takes one report only, and an empty name would be no file at all.
    if (parser_.isSet(saveJson_) &&
        (options.saveJson.isEmpty() || options.saveJson == QLatin1String(kStandardOutput))) {
        exitCode = usageError(QStringLiteral("--save-json needs a file name"));
        return false;
    }
    return true;
}

// The options that take one of a few names: the letter case, the format and the rule.
bool CommandLine::checkNames(CliOptions& options, int& exitCode) const {
    using Format = CliOptions::Format;
    const std::optional<LetterCase> letterCase = valueNamed<LetterCase>(
        {QStringLiteral("untouched"), QStringLiteral("upper"), QStringLiteral("lower"),
         QStringLiteral("title")},
        {LetterCase::Untouched, LetterCase::Upper, LetterCase::Lower, LetterCase::Title},
        parser_.value(letterCase_));
    if (!letterCase) {
        exitCode = usageError(QStringLiteral("unknown letter case \"%1\"; use untouched, upper, "
                                             "lower or title")
                                  .arg(parser_.value(letterCase_)));
        return false;
    }
    const std::optional<Format> format = valueNamed<Format>(
        {QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("tsv"),
         QStringLiteral("json")},
        {Format::Text, Format::Csv, Format::Tsv, Format::Json}, parser_.value(format_));
    if (!format) {
        exitCode = usageError(QStringLiteral("unknown format \"%1\"; use text, csv, tsv or json")
                                  .arg(parser_.value(format_)));
        return false;
    }
    const std::optional<WordRule> rule =
        valueNamed<WordRule>({QStringLiteral("classic"), QStringLiteral("unicode")},
                             {WordRule::Classic, WordRule::Unicode}, parser_.value(rule_));
    if (!rule) {
        exitCode = usageError(QStringLiteral("unknown rule \"%1\"; use classic or unicode")
                                  .arg(parser_.value(rule_)));
        return false;
    }
    options.letterCase = *letterCase;
    options.format = *format;
    options.rule = *rule;
    return true;
}

// The folder and the files in it the pattern selects; none, reported, when the folder
// cannot be listed or nothing but the report matches.
std::optional<Listed> listFiles(const CliOptions& options) {
    QString folderError;
    Listed listed;
    listed.folder = Paths::resolveFolder(options.folderArgument, folderError);
    if (listed.folder.isEmpty()) {
        printError(QStringLiteral("cannot list \"%1\": %2")
                       .arg(FileName::display(options.folderArgument), folderError));
        return std::nullopt;
    }
    listed.listing = options.recursive
                         ? FolderListing::listRecursive(listed.folder, options.pattern)
                         : FolderListing::list(listed.folder, options.pattern);
    if (!listed.listing.ok) {
        printError(QStringLiteral("cannot list \"%1\": %2")
                       .arg(FileName::display(listed.folder), listed.listing.error));
        return std::nullopt;
    }
    // A typing slip in the pattern must not replace a good report with an empty one.
    const NameList& names = listed.listing.names;
    const QLatin1StringView reportName(CountJob::kReportName);
    bool onlyReport = true;
    for (qsizetype i = 0; i < names.size() && onlyReport; ++i) {
        onlyReport = names.lastPartEquals(i, reportName);
    }
    if (onlyReport) {
        printError(QStringLiteral("no file in %1 matches %2")
                       .arg(FileName::display(listed.folder), FileName::display(options.pattern)));
        return std::nullopt;
    }
    return listed;
}

bool toStandardOutput(const CliOptions& options) {
    return options.output == QLatin1String(kStandardOutput);
}

CountRequest buildRequest(const CliOptions& options, const Listed& listed,
                          const CreationDates& dates) {
    CountRequest request;
    request.folder = listed.folder;
    request.entries = listed.listing.names;
    request.options = [report = options.report] { return report; };
    request.letterCase = [letterCase = options.letterCase] { return letterCase; };
    request.rule = options.rule;
    request.dateCreated = [&dates](const QString& path) { return dates.dateCreated(path); };
    // Standard output gets the report once it is complete, never a part of one.
    if (toStandardOutput(options)) {
        request.reportPath = QStringLiteral("-");
        request.reportTarget = ReportFile::Target::StandardOutput;
    } else if (options.outputNamed) {
        request.reportPath = options.output;
        request.reportTarget = ReportFile::Target::UserNamed;
    }
    return request;
}

// The layouts of one run: the report asked for, the JSON saved beside it, and what
// compares and subtotals on the way to both.
struct Formats {
    std::unique_ptr<ReportFormat> asked;
    std::unique_ptr<JsonReportFormat> saved;
    std::unique_ptr<TeeReportFormat> both;
    std::unique_ptr<ComparedFormat> compared;
    std::unique_ptr<SubtotalFormat> subtotals;
    ReportFormat* outer = nullptr;  // the one the job writes to
};

// The layout the report is asked in; the text layout is the one the window writes.
std::unique_ptr<ReportFormat> makeFormat(const CliOptions& options,
                                         const JsonReportFormat::About& about) {
    const CsvReportFormat::Columns columns{!options.compare.isEmpty(), options.subtotals};
    switch (options.format) {
        case CliOptions::Format::Csv:
            return std::make_unique<CsvReportFormat>(CsvReportFormat::Separator::Comma, columns);
        case CliOptions::Format::Tsv:
            return std::make_unique<CsvReportFormat>(CsvReportFormat::Separator::Tab, columns);
        case CliOptions::Format::Json:
            return std::make_unique<JsonReportFormat>(about);
        case CliOptions::Format::Text:
            break;
    }
    return std::make_unique<TextReportFormat>(
        [report = options.report] { return report; },
        [letterCase = options.letterCase] { return letterCase; });
}

Formats makeFormats(const CliOptions& options, const QString& folder,
                    const std::optional<EarlierReport>& earlier) {
    const JsonReportFormat::About about{folder,
                                        options.pattern,
                                        options.rule,
                                        options.documentText,
                                        QDateTime::currentDateTime(),
                                        options.subtotals};
    Formats formats;
    formats.asked = makeFormat(options, about);
    formats.outer = formats.asked.get();
    if (!options.saveJson.isEmpty()) {
        formats.saved = std::make_unique<JsonReportFormat>(about);
        formats.both =
            std::make_unique<TeeReportFormat>(*formats.asked, *formats.saved, options.saveJson);
        formats.outer = formats.both.get();
    }
    if (earlier) {
        formats.compared = std::make_unique<ComparedFormat>(*formats.outer, *earlier);
        formats.outer = formats.compared.get();
    }
    if (options.subtotals) {
        formats.subtotals = std::make_unique<SubtotalFormat>(*formats.outer);
        formats.outer = formats.subtotals.get();
    }
    return formats;
}

// An earlier report as read, or the reason it could not be.
struct EarlierRead {
    std::optional<EarlierReport> report;
    QString error;
};

EarlierRead readEarlierFile(const QString& path) {
    EarlierRead read;
    read.report = EarlierReport::read(path, read.error);
    return read;
}

// The earlier report to compare with, when one is asked for; false, reported, when it
// cannot be read or was counted another way. Another folder is only noted: a copy or a
// moved folder is compared path by path.
bool checkEarlier(const CliOptions& options, const QString& folder, EarlierRead& read,
                  std::optional<EarlierReport>& earlier) {
    if (options.compare.isEmpty()) {
        return true;
    }
    earlier = std::move(read.report);
    QString error = read.error;
    if (earlier) {
        error = earlier->mismatch(options.rule, options.documentText);
    }
    if (!error.isEmpty()) {
        usageError(QStringLiteral("cannot compare with \"%1\": %2")
                       .arg(FileName::display(options.compare), error));
        return false;
    }
    if (earlier->folder != folder) {
        printError(
            QStringLiteral("note: \"%1\" is a count of \"%2\"; files are matched by "
                           "their path from the folder")
                .arg(FileName::display(options.compare), FileName::display(earlier->folder)));
    }
    return true;
}

// Whether the saved JSON would land on the report itself, which would keep only one.
bool savesOverReport(const CliOptions& options, const QString& folder) {
    if (options.saveJson.isEmpty() || toStandardOutput(options)) {
        return false;
    }
    const QString report = options.outputNamed ? options.output : CountJob::reportPathFor(folder);
    return QFileInfo(report).absoluteFilePath() == QFileInfo(options.saveJson).absoluteFilePath();
}

// Files that were counted but may not count as their owner expects, in list order.
void printWarnings(const QList<Warned>& warned) {
    for (const Warned& file : warned) {
        for (const QString& text : warningTexts(file.warnings)) {
            printError(QStringLiteral("warning: %1: %2").arg(FileName::display(file.name), text));
        }
    }
}

// What the run's end says on standard error, and the exit status it ends with.
int reportOutcome(const CountResult& result, const CliOptions& options, const Listed& listed,
                  const TeeReportFormat* both) {
    if (both != nullptr && both->secondFailed()) {
        printError(QStringLiteral("The JSON report \"%1\" could not be written: %2%3")
                       .arg(FileName::display(options.saveJson), both->errorString(),
                            result.outcome == CountResult::Outcome::Completed
                                ? QString()
                                : QStringLiteral("; the report was not written either")));
        return kReportNotWritten;
    }
    if (result.outcome == CountResult::Outcome::Cancelled) {
        const int signal = TerminationSignals::caught();
        printError(QStringLiteral("stopped; the report was not written"));
        return signal != 0 ? TerminationSignals::exitStatusFor(signal) : kReportNotWritten;
    }
    if (result.outcome == CountResult::Outcome::ReportFailed) {
        printError(toStandardOutput(options)
                       ? QStringLiteral("cannot write to standard output: %1").arg(result.reason)
                       : QStringLiteral("The report \"%1\" could not be written: %2")
                             .arg(FileName::display(result.reportPath), result.reason));
        return kReportNotWritten;
    }
    if (!options.quiet) {
        printWarnings(result.warned);
    }
    for (const FolderProblem& subfolder : listed.listing.unreadable) {
        printError(QStringLiteral("not listed: %1: %2")
                       .arg(FileName::display(subfolder.path), subfolder.reason));
    }
    for (const NotCounted& file : result.notCounted) {
        printError(
            QStringLiteral("not counted: %1: %2").arg(FileName::display(file.name), file.reason));
    }
    return result.notCounted.isEmpty() && listed.listing.unreadable.isEmpty() ? kAllCounted
                                                                              : kSomeNotCounted;
}

int count(const CliOptions& options, const Listed& listed,
          const std::optional<EarlierReport>& earlier) {
    const CreationDates dates;
    CountParts parts;
    parts.threads = options.threads;
    if (options.readMethod) {
        parts.readMethod = *options.readMethod;
    }
    parts.makeSource = contentSourceFactory(options.documentText, options.timeoutSeconds);
    const Formats formats = makeFormats(options, listed.folder, earlier);
    parts.format = formats.outer;
    CountJob job(buildRequest(options, listed, dates), parts);
    CliHost host;
    host.setShowProgress(Console::standardErrorIsTerminal());
    host.attach(job);
    const CountResult result = job.run();
    host.finish();
    // The saved JSON replaces its earlier self only once the report it goes with stands.
    if (formats.both && result.outcome == CountResult::Outcome::Completed) {
        formats.both->commitSecond();
    }
    if (options.showYieldGap) {
        std::fprintf(stderr, "longest gap between yields: %.3f ms\n", host.longestYieldGapMs());
    }
    return reportOutcome(result, options, listed, formats.both.get());
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before anything else: a signal must cancel a count, never leave half of one.
    TerminationSignals::install();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-count"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version::kText));

    CommandLine commandLine;
    int exitCode = kAllCounted;
    const std::optional<CliOptions> options =
        commandLine.read(Console::arguments(argc, argv), exitCode);
    if (!options) {
        return exitCode;
    }
    // The earlier report is read while the folder is listed: for a large folder each takes
    // a good part of a second, and listing leaves a core free.
    std::future<EarlierRead> reading;
    if (!options->compare.isEmpty()) {
        reading = std::async(std::launch::async, readEarlierFile, options->compare);
    }
    const std::optional<Listed> listed = listFiles(*options);
    if (!listed) {
        return kUsageError;
    }
    if (savesOverReport(*options, listed->folder)) {
        return usageError(QStringLiteral("--save-json names the report file itself"));
    }
    EarlierRead read = reading.valid() ? reading.get() : EarlierRead{};
    std::optional<EarlierReport> earlier;
    if (!checkEarlier(*options, listed->folder, read, earlier)) {
        return kUsageError;
    }
    return count(*options, *listed, earlier);
}
