#include "count/CountJob.h"

#include <QThread>

#include <chrono>
#include <future>
#include <memory>
#include <system_error>

#include "count/FileCount.h"
#include "count/ParallelCount.h"
#include "count/TextReportFormat.h"
#include "platform/Clock.h"
#include "platform/FileContentSource.h"
#include "platform/Paths.h"
#include "platform/ReportFile.h"

namespace quorvane {

namespace {

// Checking the clock once per buffer keeps the cost of the check negligible; yielding at
// half the interval leaves room for the buffer in hand and the line that follows.
constexpr qint64 kYieldAfterNs = qint64{CountJob::kYieldIntervalMs} * 1000 * 1000 / 2;

// Between files the host gets its turn once a millisecond has passed: often enough that
// an option changed meanwhile shapes the very next line, and rarely enough that a
// folder of many small files is not spent handling events (one handling costs about as
// much as counting a small file).
constexpr qint64 kYieldBetweenFilesNs = qint64{1000} * 1000;

// Enough files in flight to keep every worker busy, few enough that memory stays flat;
// a wait for one file ends with up to this many ready. Every wait puts a thread to sleep
// and wakes it, which costs more than counting a small file. Measured on 100,000 small
// files, 32 took a quarter longer than 64; 512, with few in flight as a run starts (see
// countInParallel), took 0.91 times the time of 64 there and 0.97 times on a million.
constexpr qsizetype kTakenTogether = 512;

}  // namespace

CountJob::CountJob(CountRequest request, CountParts parts)
    : request_(std::move(request)), parts_(parts) {}

CountJob::~CountJob() = default;

QString CountJob::reportPathFor(const QString& folder) {
    return Paths::join(folder, QString::fromLatin1(kReportName));
}

void CountJob::reportProgress() {
    if (progress_) {
        progress_(progressState_);
    }
}

void CountJob::yieldAfterFile() {
    // The first file is followed by a yield whatever the time, so that the host sees the
    // count under way (and can act on it) even in a folder counted within a millisecond.
    if (!yielded_ || parts_.clock->nowNs() - lastYieldNs_ >= kYieldBetweenFilesNs) {
        yieldNow();
    }
}

void CountJob::yieldNow() {
    if (yield_) {
        yield_();
    }
    lastYieldNs_ = parts_.clock->nowNs();
    yielded_ = true;
}

bool CountJob::takeTurnInFile() {
    if (parts_.clock->nowNs() - lastYieldNs_ >= kYieldAfterNs) {
        yieldNow();
    }
    return !cancelled_;
}

bool CountJob::isCounted(const QString& entryPath) {
    const QString name = entryPath.mid(entryPath.lastIndexOf(u'/') + 1);
    return !name.isEmpty() && name != QLatin1String(kReportName);
}

bool CountJob::isCountedAt(qsizetype index) const {
    const QByteArrayView name = request_.entries.lastPart(index);
    return !name.isEmpty() && name != QByteArrayView(kReportName);
}

int CountJob::threadCount() const {
    return parts_.threads > 0 ? parts_.threads : qMax(1, QThread::idealThreadCount());
}

bool CountJob::countInSequence(const FileIdentity& report, ReportFormat& format,
                               CountResult& result) {
    const std::unique_ptr<ContentSource> source = parts_.makeSource();
    // Every buffer read shows in the progress and may be the host's turn.
    FileCount fileCount(request_.rule, parts_.readMethod, [this](qint64 bytes) {
        if (bytes > 0) {
            progressState_.bytesRead += bytes;
            reportProgress();
        }
        return takeTurnInFile();
    });
    for (qsizetype index = 0; index < request_.entries.size(); ++index) {
        if (isCountedAt(index)) {
            const QString entryPath = request_.entries[index];
            const FileResult file = fileCount.countWhole(
                *source, Paths::join(request_.folder, entryPath), report);
            if (!addResult(index, entryPath, file, format, result)) {
                return false;
            }
        }
        ++progressState_.filesDone;
        reportProgress();
        yieldAfterFile();
        if (cancelled_) {
            result.outcome = CountResult::Outcome::Cancelled;
            return false;
        }
    }
    return true;
}

bool CountJob::addResult(qint64 index, const QString& entryPath, const FileResult& file,
                         ReportFormat& format, CountResult& result) {
    switch (file.outcome) {
        case FileResult::Outcome::Cancelled:
            result.outcome = CountResult::Outcome::Cancelled;
            return false;
        case FileResult::Outcome::Unreadable:
            result.notCounted.append({entryPath, file.reason});
            return true;
        case FileResult::Outcome::IsReport:
            return true;
        case FileResult::Outcome::Counted:
            break;
    }
    if (!addEntry(index, entryPath, file, format, result)) {
        result.outcome = CountResult::Outcome::ReportFailed;
        result.reason = format.errorString();
        return false;
    }
    return true;
}

bool CountJob::addEntry(qint64 index, const QString& entryPath, const FileResult& file,
                        ReportFormat& format, CountResult& result) {
    ReportEntry entry;
    entry.index = index;
    entry.name = entryPath.mid(entryPath.lastIndexOf(u'/') + 1);
    entry.relativePath = entryPath;
    entry.words = file.words;
    entry.warnings = file.warnings;
    if (request_.dateCreated && format.needsCreated()) {
        entry.created = request_.dateCreated(Paths::join(request_.folder, entryPath));
    }
    if (!format.entry(entry)) {
        return false;
    }
    result.total += file.words;
    ++result.filesCounted;
    if (file.warnings) {
        result.warned.append({entryPath, file.warnings});
    }
    if (request_.keepEntries) {
        result.counted.append(entry);
    }
    return true;
}

// The lines are still built here, in list order; a run that stops early leaves the
// workers to be stopped as ParallelCount goes.
bool CountJob::countInParallel(int threads, const FileIdentity& report, ReportFormat& format,
                               CountResult& result) {
    ParallelCount workers(threads, parts_.makeSource, request_.rule, report,
                          parts_.partSize > 0 ? parts_.partSize : ParallelCount::kPartSize,
                          parts_.readMethod);
    const NameList& entries = request_.entries;
    const qsizetype most = 2 * kTakenTogether + qsizetype{256} * threads;
    qsizetype submitted = 0;
    for (qsizetype index = 0; index < entries.size(); ++index) {
        // Topped up in batches, so the workers are woken once per batch, not per file; few
        // at first, so that the first results, and the host's first turn, come soon.
        const qsizetype ahead = qMin(most, qsizetype{64} + index);
        if (submitted < entries.size() && submitted < index + ahead / 2) {
            submitted = submitUpTo(workers, submitted, index + ahead);
        }
        if (isCountedAt(index)) {
            FileResult file;
            if (!waitForResult(workers, index, submitted, file)) {
                result.outcome = CountResult::Outcome::Cancelled;
                return false;
            }
            if (!addResult(index, entries[index], file, format, result)) {
                return false;
            }
        }
        ++progressState_.filesDone;
        progressState_.bytesRead = workers.bytesRead();
        reportProgress();
        yieldAfterFile();
        if (cancelled_) {
            result.outcome = CountResult::Outcome::Cancelled;
            return false;
        }
    }
    return true;
}

qsizetype CountJob::submitUpTo(ParallelCount& workers, qsizetype from, qsizetype until) const {
    const NameList& entries = request_.entries;
    const qsizetype end = qMin(until, entries.size());
    QList<std::pair<qint64, QString>> batch;
    batch.reserve(end - from);
    for (; from < end; ++from) {
        if (isCountedAt(from)) {
            batch.append({from, Paths::join(request_.folder, entries[from])});
        }
    }
    workers.submit(batch);
    return end;
}

bool CountJob::waitForResult(ParallelCount& workers, qsizetype index, qsizetype submitted,
                             FileResult& file) {
    // The last file handed in among the next few, so a wait ends with several done.
    qsizetype alsoReady = qMin(index + kTakenTogether, submitted - 1);
    while (alsoReady > index && !isCountedAt(alsoReady)) {
        --alsoReady;
    }
    // Waiting for a file gives way to the host often: a wait ends only once a run of
    // files is done, and the host's own turn (painting, under X) adds to every stretch.
    const int waitMs = qMax(1, kYieldIntervalMs / 5);
    while (!workers.take(index, alsoReady, waitMs, file)) {
        progressState_.bytesRead = workers.bytesRead();
        reportProgress();
        yieldNow();
        if (cancelled_) {
            return false;
        }
    }
    return true;
}

CountResult CountJob::run() {
    if (!parts_.makeSource) {
        parts_.makeSource = [] { return std::make_unique<FileContentSource>(); };
    }
    if (parts_.clock == nullptr) {
        parts_.clock = &SteadyClock::instance();
    }
    std::unique_ptr<ReportFormat> ownFormat;
    if (parts_.format == nullptr) {
        ownFormat = std::make_unique<TextReportFormat>(request_.options, request_.letterCase);
        parts_.format = ownFormat.get();
    }
    ReportFormat& format = *parts_.format;

    CountResult result;
    const QString& folder = request_.folder;
    result.reportPath =
        request_.reportPath.isEmpty() ? reportPathFor(folder) : request_.reportPath;
    ReportFile report(result.reportPath, request_.reportPath.isEmpty()
                                             ? ReportFile::Target::ProgramReport
                                             : request_.reportTarget);
    auto failReport = [&](const QString& reason) {
        report.discard();
        result.outcome = CountResult::Outcome::ReportFailed;
        result.reason = reason;
        return result;
    };
    auto cancelRun = [&]() {
        report.discard();
        result.outcome = CountResult::Outcome::Cancelled;
        return result;
    };

    // An empty folder path would put the report, and every entry, at the file-system root.
    if (folder.isEmpty()) {
        return failReport(QStringLiteral("no folder is chosen"));
    }
    if (!report.create()) {
        return failReport(report.errorString());
    }
    if (!format.begin(report)) {
        return failReport(format.errorString());
    }

    const FileIdentity reportIdentity = report.replacedIdentity();
    progressState_ = CountProgress{};
    progressState_.filesTotal = request_.entries.size();
    lastYieldNs_ = parts_.clock->nowNs();
    yielded_ = false;

    const int threads = threadCount();
    const bool counted = threads > 1 && !request_.entries.isEmpty()
                             ? countInParallel(threads, reportIdentity, format, result)
                             : countInSequence(reportIdentity, format, result);
    if (!counted) {
        return result.outcome == CountResult::Outcome::Cancelled ? cancelRun()
                                                                 : failReport(result.reason);
    }

    // Finishing the report writes out its last part and waits for the disk: the host gets
    // its turn first if the last file took a while.
    yieldAfterFile();
    if (cancelled_) {
        return cancelRun();
    }
    if (!format.end({result.total, result.notCounted})) {
        return failReport(format.errorString());
    }
    if (!commitReport(report)) {
        return failReport(report.errorString());
    }
    return result;
}

bool CountJob::commitReport(ReportFile& report) {
    // Committing waits for the disk to hold the report: milliseconds on a local disk, far
    // longer on a slow or remote one, or on a FIFO until its reader comes. The host keeps
    // its turns meanwhile; without a host there is nobody to wait for.
    if (!yield_) {
        return report.commit();
    }
    std::future<bool> committed;
    try {
        committed = std::async(std::launch::async, [&report] { return report.commit(); });
    } catch (const std::system_error&) {
        return report.commit();  // no thread to be had: the host waits, as it would have
    }
    finishing_ = true;
    while (committed.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        yieldAfterFile();  // as often as between files
    }
    finishing_ = false;
    return committed.get();
}

}  // namespace quorvane
