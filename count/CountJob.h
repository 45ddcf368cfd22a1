#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

#include "CountHost.h"

namespace quorvane {

struct CountResult {
    enum class Outcome {
        Completed,     // the report stands; notCounted may still name files that failed
        ReportFailed,  // the report could not be created or written; an earlier one is untouched
        Cancelled,     // the host cancelled; an earlier report is untouched
    };
    Outcome outcome = Outcome::Completed;
    QString reportPath;
    qint64 total = 0;
    qint64 filesCounted = 0;
    QStringList notCounted;  // listed files that could not be opened or read
    QString error;           // for ReportFailed: the path and the system's reason
};

// Progress as the job reads, for hosts that show it (the headless counter's terminal line).
struct CountProgress {
    qint64 filesDone = 0;
    qint64 filesTotal = 0;
    qint64 bytesRead = 0;
};

// One run of "COUNT WORDS": counts every listed file into tallix.txt in the listed folder.
// The folder path and the entry names are taken once, when the loop starts; options and
// letter case are read afresh for every line. The job yields to the host after every file
// and, inside a file, at least every 10 ms of work.
class CountJob {
public:
    explicit CountJob(CountHost& host);

    // Runs to the end, including the closing message and the editor. Never throws.
    CountResult run();

    // Asks a running job to stop at its next yield; safe to call from inside a yield.
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }

    // Called after every read buffer with the progress so far.
    void setProgressCallback(std::function<void(const CountProgress&)> callback);

    // Writes the report somewhere else than reportPathFor(folder); for the headless
    // counter's --output. Empty restores the usual place.
    void setReportPath(const QString& path) { reportPathOverride_ = path; }

    // The longest stretch of work without a yield may not exceed this.
    static constexpr int kYieldIntervalMs = 10;

    static constexpr const char* kReportName = "tallix.txt";
    static constexpr const char* kDoneMessage = "done \"output.txt\" File Created!";
    static constexpr const char* kDoneTitle = "Job Done";
    static constexpr const char* kNotCountedHeading = "Not counted:";
    static constexpr int kNotCountedShown = 20;

    static QString reportPathFor(const QString& folder);
    // The path of an entry of `folder`, with no doubled separator at a root.
    static QString entryPath(const QString& folder, const QString& name);
    static QString closingMessage(const QStringList& notCounted);
    // The message for a report that could not be written: its path and the system's reason.
    static QString reportFailureMessage(const QString& reportPath, const QString& reason);

private:
    enum class FileOutcome { Counted, Unreadable, Cancelled };
    FileOutcome countFile(const QString& path, QByteArray& buffer, qint64& words);
    bool yieldNow();  // false when the host cancelled during the yield
    void reportProgress();

    CountHost& host_;
    bool cancelled_ = false;
    std::function<void(const CountProgress&)> progress_;
    QString reportPathOverride_;

    // Per run.
    CountProgress progressState_;
    QElapsedTimer clock_;
    qint64 lastYieldNs_ = 0;
};

}  // namespace quorvane
