#include "count/CountJob.h"

#include <QThread>

#include <memory>

#include "count/ParallelCount.h"
#include "count/TextReportFormat.h"
#include "count/UnicodeWordCounter.h"
#include "count/WordCounter.h"
#include "platform/Clock.h"
#include "platform/FileContentSource.h"
#include "platform/Paths.h"
#include "platform/ReportFile.h"

namespace quorvane {

namespace {

// One reused read buffer: large enough that a read costs little next to counting it,
// small enough that memory stays flat whatever the file size, and that one read from a
// slow disk or a network share does not hold the window past the yield interval.
constexpr qsizetype kReadBufferSize = qsizetype{64} * 1024;

// Checking the clock once per buffer keeps the cost of the check negligible; yielding at
// half the interval leaves room for the buffer in hand and the line that follows.
constexpr qint64 kYieldAfterNs = qint64{CountJob::kYieldIntervalMs} * 1000 * 1000 / 2;

// Between files the host gets its turn once a millisecond has passed: often enough that
// an option changed meanwhile shapes the very next line, and rarely enough that a
// folder of many small files is not spent handling events (one handling costs about as
// much as counting a small file).
constexpr qint64 kYieldBetweenFilesNs = qint64{1000} * 1000;

// The counter of the rule the request asks for.
class Tally {
public:
    explicit Tally(WordRule rule) : rule_(rule) {}
    void feed(const char* data, std::size_t size) {
        if (rule_ == WordRule::Classic) {
            classic_.feed(data, size);
        } else {
            unicode_.feed(data, size);
        }
    }
    qint64 count() { return rule_ == WordRule::Classic ? classic_.count() : unicode_.count(); }

private:
    WordRule rule_;
    WordCounter classic_;
    UnicodeWordCounter unicode_;
};

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

CountJob::FileOutcome CountJob::countFile(const QString& path, const FileIdentity& report,
                                          qint64& words, QString& reason) {
    ContentSource& source = *source_;
    if (!source.open(path)) {
        reason = source.errorString();
        return FileOutcome::Unreadable;
    }
    // The report may be listed under another name (--output into the folder).
    if (source.identity().sameFileAs(report)) {
        source.close();
        return FileOutcome::IsReport;
    }
    Tally counter(request_.rule);
    for (;;) {
        const qint64 got = source.read(buffer_.data(), buffer_.size());
        if (got == ContentSource::kNotYet) {
            if (!takeTurnInFile()) {
                source.close();
                return FileOutcome::Cancelled;
            }
            continue;
        }
        if (got < 0) {
            reason = source.errorString();
            source.close();
            return FileOutcome::Unreadable;
        }
        if (got == 0) {
            break;
        }
        counter.feed(buffer_.constData(), static_cast<std::size_t>(got));
        progressState_.bytesRead += got;
        reportProgress();
        if (!takeTurnInFile()) {
            source.close();
            return FileOutcome::Cancelled;
        }
    }
    source.close();
    words = counter.count();
    return FileOutcome::Counted;
}

bool CountJob::addEntry(qint64 index, const QString& entryPath, qint64 words,
                        ReportFormat& format, CountResult& result) {
    ReportEntry entry;
    entry.index = index;
    entry.name = entryPath.mid(entryPath.lastIndexOf(u'/') + 1);
    entry.relativePath = entryPath;
    entry.words = words;
    if (request_.dateCreated && format.needsCreated()) {
        entry.created = request_.dateCreated(Paths::join(request_.folder, entryPath));
    }
    if (!format.entry(entry)) {
        return false;
    }
    result.total += words;
    ++result.filesCounted;
    if (request_.keepEntries) {
        result.counted.append(entry);
    }
    return true;
}

bool CountJob::countInParallel(const FileIdentity& report, ReportFormat& format,
                               CountResult& result) {
    const int threads =
        parts_.threads > 0 ? parts_.threads : qMax(1, QThread::idealThreadCount());
    ParallelCount workers(threads, parts_.makeSource, request_.rule, report,
                          parts_.partSize > 0 ? parts_.partSize : ParallelCount::kPartSize);
    const QStringList& entries = request_.entries;
    // Enough files in flight to keep every worker busy, few enough that memory stays flat.
    constexpr qsizetype kTakenTogether = 32;
    const qsizetype ahead = 2 * kTakenTogether + qsizetype{16} * threads;
    // Waiting for a file gives way to the host at this pace, as reading does in sequence.
    const int waitMs = qMax(1, kYieldIntervalMs / 2);
    qsizetype submitted = 0;
    const auto fail = [&](CountResult::Outcome outcome, const QString& reason) {
        workers.cancel();
        result.outcome = outcome;
        result.reason = reason;
        return false;
    };
    QList<std::pair<qint64, QString>> batch;
    for (qsizetype index = 0; index < entries.size(); ++index) {
        // Topped up in batches, so the workers are woken once per batch, not per file.
        if (submitted < entries.size() && submitted < index + ahead / 2) {
            batch.clear();
            for (; submitted < entries.size() && submitted < index + ahead; ++submitted) {
                if (isCounted(entries[submitted])) {
                    batch.append({submitted, Paths::join(request_.folder, entries[submitted])});
                }
            }
            workers.submit(batch);
        }
        if (isCounted(entries[index])) {
            FileTally tally;
            // The last file handed in among the next few, so a wait ends with several done.
            qsizetype alsoReady = qMin(index + kTakenTogether, submitted - 1);
            while (alsoReady > index && !isCounted(entries[alsoReady])) {
                --alsoReady;
            }
            while (!workers.take(index, alsoReady, waitMs, tally)) {
                progressState_.bytesRead = workers.bytesRead();
                reportProgress();
                yieldNow();
                if (cancelled_) {
                    return fail(CountResult::Outcome::Cancelled, QString());
                }
            }
            switch (tally.outcome) {
                case FileTally::Outcome::Cancelled:
                    return fail(CountResult::Outcome::Cancelled, QString());
                case FileTally::Outcome::Unreadable:
                    result.notCounted.append({entries[index], tally.reason});
                    break;
                case FileTally::Outcome::IsReport:
                    break;
                case FileTally::Outcome::Counted:
                    if (!addEntry(index, entries[index], tally.words, format, result)) {
                        return fail(CountResult::Outcome::ReportFailed, format.errorString());
                    }
                    break;
            }
        }
        ++progressState_.filesDone;
        progressState_.bytesRead = workers.bytesRead();
        reportProgress();
        yieldAfterFile();
        if (cancelled_) {
            return fail(CountResult::Outcome::Cancelled, QString());
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
    buffer_.resize(kReadBufferSize);
    progressState_ = CountProgress{};
    progressState_.filesTotal = request_.entries.size();
    lastYieldNs_ = parts_.clock->nowNs();
    yielded_ = false;

    const int threads =
        parts_.threads > 0 ? parts_.threads : qMax(1, QThread::idealThreadCount());
    if (threads > 1 && request_.entries.size() > 0) {
        if (!countInParallel(reportIdentity, format, result)) {
            return result.outcome == CountResult::Outcome::Cancelled ? cancelRun()
                                                                     : failReport(result.reason);
        }
    } else {
        source_ = parts_.makeSource();
        for (qsizetype index = 0; index < request_.entries.size(); ++index) {
            const QString& entryPath = request_.entries[index];
            if (isCounted(entryPath)) {
                const QString path = Paths::join(folder, entryPath);
                qint64 words = 0;
                QString reason;
                const FileOutcome outcome = countFile(path, reportIdentity, words, reason);
                if (outcome == FileOutcome::Cancelled) {
                    return cancelRun();
                }
                if (outcome == FileOutcome::Unreadable) {
                    result.notCounted.append({entryPath, reason});
                } else if (outcome == FileOutcome::Counted &&
                           !addEntry(index, entryPath, words, format, result)) {
                    return failReport(format.errorString());
                }
            }
            ++progressState_.filesDone;
            reportProgress();
            yieldAfterFile();
            if (cancelled_) {
                return cancelRun();
            }
        }
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
    if (!report.commit()) {
        return failReport(report.errorString());
    }
    return result;
}

}  // namespace quorvane
