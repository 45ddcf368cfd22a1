#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "count/FileCount.h"
#include "count/ReportFormat.h"
#include "count/ReportLine.h"
#include "count/WordRule.h"
#include "platform/FolderListingNames.h"
#include "platform/ReportFile.h"

namespace quorvane {

class Clock;
class ContentSource;
class ParallelCount;

// What one count is asked to do. The folder and its entries are taken once; the options,
// the letter case and the creation dates are asked for as each line is built.
struct CountRequest {
    QString folder;
    NameList entries;  // paths relative to the folder ("/" between folders), in list order
    // Empty: tallix.txt in the folder, never followed through a link.
    QString reportPath;
    ReportFile::Target reportTarget = ReportFile::Target::ProgramReport;
    std::function<ReportOptions()> options;
    std::function<LetterCase()> letterCase;
    std::function<QDateTime(const QString& path)> dateCreated;
    WordRule rule = WordRule::Classic;
    // Every counted entry kept in the result as well as written to the report: for callers
    // that look at them afterwards. A large folder's entries cost memory, and time to free.
    bool keepEntries = false;
};

struct CountResult {
    enum class Outcome {
        Completed,     // the report stands; notCounted may still name files that failed
        ReportFailed,  // the report could not be created or written; an earlier one is untouched
        Cancelled,     // the run was cancelled; an earlier report is untouched
    };
    Outcome outcome = Outcome::Completed;
    QString reportPath;
    qint64 total = 0;
    qint64 filesCounted = 0;
    QList<ReportEntry> counted;   // every line of the report, in order, when asked to keep them
    QList<NotCounted> notCounted;  // listed files that could not be opened or read
    QList<Warned> warned;          // counted files with warnings, in list order
    QString reason;                // for ReportFailed: the system's reason
};

// Progress as the job reads, for hosts that show it (the headless counter's terminal line).
struct CountProgress {
    qint64 filesDone = 0;
    qint64 filesTotal = 0;
    qint64 bytesRead = 0;
};

// What a count job works with; null members take the real thing (files on disk, the
// steady clock, the tallix.txt text layout).
struct CountParts {
    // Makes a reader of file contents; the job may ask for several. Null: every file as
    // its bytes. Whoever wants documents read as text passes a source that does so.
    std::function<std::unique_ptr<ContentSource>()> makeSource;
    const Clock* clock = nullptr;
    ReportFormat* format = nullptr;
    // Threads that read and count; 0 for one per core. With 1 the job counts on its own
    // thread, one file after another.
    int threads = 0;
    // How large the parts are that a large file is split into; 0 for the usual size.
    qint64 partSize = 0;
    // How files are read. Reading into a warm buffer is the default: on virtual machines
    // every freshly mapped page costs a fault and a page walk, and mapping measured 2 to
    // 4 times slower for large files. Mapping stays a choice for measuring both ways.
    ReadMethod readMethod = ReadMethod::Read;
};

// One run of "COUNT WORDS": counts every listed file into the report. It hands control
// back through the yield callback between files once a millisecond has passed, and at
// least every kYieldIntervalMs of work, inside a file or waiting for one; it never shows
// anything itself.
class CountJob {
public:
    explicit CountJob(CountRequest request, CountParts parts = {});
    ~CountJob();

    // Runs to the end. Never throws.
    CountResult run();

    // Asks a running job to stop at its next yield; safe to call from inside a yield.
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    // While the finished report is handed to the disk the host still gets its turns, but
    // the run can no longer be stopped: it ends complete, whatever cancel() asks.
    bool isFinishing() const { return finishing_; }

    void setYieldCallback(std::function<void()> callback) { yield_ = std::move(callback); }
    // Called after every read buffer and every file with the progress so far.
    void setProgressCallback(std::function<void(const CountProgress&)> callback) {
        progress_ = std::move(callback);
    }

    // The longest stretch of work without a yield may not exceed this.
    static constexpr int kYieldIntervalMs = 10;

    static constexpr const char* kReportName = "tallix.txt";

    static QString reportPathFor(const QString& folder);

    // Whether an entry gets counted at all: not the report's own name, at any depth.
    static bool isCounted(const QString& entryPath);

private:
    // isCounted() for entry `index`, read from the list without making a string of it.
    bool isCountedAt(qsizetype index) const;
    // Threads that count: as asked, else one per core.
    int threadCount() const;
    // Count every entry and add its line, on this thread or on `threads` workers; false
    // when the run stops early, with the outcome and the reason in `result`.
    bool countInSequence(const FileIdentity& report, ReportFormat& format, CountResult& result);
    bool countInParallel(int threads, const FileIdentity& report, ReportFormat& format,
                         CountResult& result);
    // Hands the workers the counted entries in [from, until); returns where it stopped.
    qsizetype submitUpTo(ParallelCount& workers, qsizetype from, qsizetype until) const;
    // The result of entry `index` once the workers have it; the host gets its turns while
    // it waits. False once the job is cancelled.
    bool waitForResult(ParallelCount& workers, qsizetype index, qsizetype submitted,
                       FileResult& file);
    // Takes one file's result into the run; false when the run stops there.
    bool addResult(qint64 index, const QString& entryPath, const FileResult& file,
                   ReportFormat& format, CountResult& result);
    // Builds and writes the line of one counted file; false when the report failed.
    bool addEntry(qint64 index, const QString& entryPath, const FileResult& file,
                  ReportFormat& format, CountResult& result);
    void yieldNow();
    // report.commit(), on another thread while a host waits for its turns.
    bool commitReport(ReportFile& report);
    // Inside a file: yields when the interval is up; false once the job is cancelled.
    bool takeTurnInFile();
    void yieldAfterFile();
    void reportProgress();

    CountRequest request_;
    CountParts parts_;
    bool cancelled_ = false;
    bool finishing_ = false;
    std::function<void()> yield_;
    std::function<void(const CountProgress&)> progress_;

    // Per run.
    CountProgress progressState_;
    qint64 lastYieldNs_ = 0;
    bool yielded_ = false;
};

}  // namespace quorvane
