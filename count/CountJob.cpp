#include "CountJob.h"

#include <QFile>

#include "NumberText.h"
#include "QuorvaneVersion.h"
#include "ReportWriter.h"
#include "WordCounter.h"

namespace quorvane {

namespace {

// One reused read buffer: large enough that a read costs little next to counting it,
// small enough that memory stays flat whatever the file size, and that one read from a
// slow disk or a network share does not hold the window past the yield interval.
constexpr qsizetype kReadBufferSize = qsizetype{64} * 1024;

// Checking the clock once per buffer keeps the cost of the check negligible; yielding at
// half the interval leaves room for the buffer in hand and the line that follows.
constexpr qint64 kYieldAfterNs = qint64{CountJob::kYieldIntervalMs} * 1000 * 1000 / 2;

#ifdef _WIN32
constexpr QChar kSeparator = u'\\';
#else
constexpr QChar kSeparator = u'/';
#endif

bool endsWithSeparator(const QString& folder) {
#ifdef _WIN32
    return folder.endsWith(u'\\') || folder.endsWith(u'/');
#else
    return folder.endsWith(u'/');
#endif
}

}  // namespace

CountJob::CountJob(CountHost& host) : host_(host) {}

void CountJob::setProgressCallback(std::function<void(const CountProgress&)> callback) {
    progress_ = std::move(callback);
}

QString CountJob::entryPath(const QString& folder, const QString& name) {
    // No folder gives the bare name, never a path at the file-system root.
    if (folder.isEmpty() || endsWithSeparator(folder)) {
        return folder + name;
    }
    return folder + kSeparator + name;
}

QString CountJob::reportPathFor(const QString& folder) {
    return entryPath(folder, QString::fromLatin1(kReportName));
}

QString CountJob::closingMessage(const QStringList& notCounted) {
    QString message = QString::fromLatin1(kDoneMessage);
    if (notCounted.isEmpty()) {
        return message;
    }
    message += QStringLiteral("\n\n") + QString::fromLatin1(kNotCountedHeading);
    const qsizetype shown = qMin<qsizetype>(notCounted.size(), kNotCountedShown);
    for (qsizetype i = 0; i < shown; ++i) {
        message += u'\n' + notCounted[i];
    }
    if (notCounted.size() > shown) {
        message += QStringLiteral("\nand %1 more").arg(notCounted.size() - shown);
    }
    return message;
}

QString CountJob::reportFailureMessage(const QString& reportPath, const QString& reason) {
    return QStringLiteral("The report \"%1\" could not be written: %2").arg(reportPath, reason);
}

void CountJob::reportProgress() {
    if (progress_) {
        progress_(progressState_);
    }
}

bool CountJob::yieldNow() {
    host_.yieldToEvents();
    lastYieldNs_ = clock_.nsecsElapsed();
    return !cancelled_;
}

CountJob::FileOutcome CountJob::countFile(const QString& path, QByteArray& buffer, qint64& words) {
    QFile file(path);
    // Unbuffered: the job's own buffer is the only copy of the bytes.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return FileOutcome::Unreadable;
    }
    WordCounter counter;
    for (;;) {
        const qint64 got = file.read(buffer.data(), buffer.size());
        if (got < 0) {
            return FileOutcome::Unreadable;
        }
        if (got == 0) {
            break;
        }
        counter.feed(buffer.constData(), static_cast<std::size_t>(got));
        progressState_.bytesRead += got;
        reportProgress();
        if (clock_.nsecsElapsed() - lastYieldNs_ >= kYieldAfterNs) {
            yieldNow();
            if (cancelled_) {
                return FileOutcome::Cancelled;
            }
        }
    }
    words = counter.count();
    return FileOutcome::Counted;
}

CountResult CountJob::run() {
    CountResult result;
    const QString folder = host_.fileListPath();
    result.reportPath = reportPathOverride_.isEmpty() ? reportPathFor(folder) : reportPathOverride_;

    host_.setCountButtonEnabled(false);
    host_.startstatus();

    ReportWriter report(result.reportPath);
    auto failReport = [&](const QString& reason) {
        report.discard();
        host_.setCountButtonEnabled(true);
        host_.endstatus();
        result.outcome = CountResult::Outcome::ReportFailed;
        result.error = reportFailureMessage(result.reportPath, reason);
        host_.showMessage(result.error, QString::fromLatin1(version::kAppTitle));
        return result;
    };
    auto cancelRun = [&]() {
        report.discard();
        host_.setCountButtonEnabled(true);
        host_.endstatus();
        result.outcome = CountResult::Outcome::Cancelled;
        return result;
    };

    // An empty folder path would put the report, and every entry, at the file-system root.
    if (folder.isEmpty()) {
        return failReport(QStringLiteral("no folder is chosen"));
    }
    if (!report.open()) {
        return failReport(report.errorString());
    }

    // Taken once: a folder change or refresh during a yield must not mix another folder's
    // files, or one file twice, into this folder's report.
    const QStringList entries = host_.fileListEntries();
    const QString reportName = QString::fromLatin1(kReportName);
    QByteArray buffer(kReadBufferSize, Qt::Uninitialized);
    progressState_ = CountProgress{};
    progressState_.filesTotal = entries.size();
    clock_.start();
    lastYieldNs_ = 0;

    for (qsizetype index = 0; index < entries.size(); ++index) {
        const QString& name = entries[index];
        if (name != reportName && !name.isEmpty()) {
            const QString path = entryPath(folder, name);
            qint64 words = 0;
            const FileOutcome outcome = countFile(path, buffer, words);
            if (outcome == FileOutcome::Cancelled) {
                return cancelRun();
            }
            if (outcome == FileOutcome::Unreadable) {
                result.notCounted << name;
            } else {
                const QDateTime created = host_.dateCreated(path);
                const QString dateText = created.isValid() ? dateCreatedText(created) : QString();
                const int caseChoice = toWholeNumber16(host_.readCaseSetting()).value_or(0);
                const QString line = buildReportLine(index, name, words, dateText,
                                                     host_.reportOptions(), caseChoice);
                if (!report.writeLine(line)) {
                    return failReport(report.errorString());
                }
                result.total += words;
                ++result.filesCounted;
            }
        }
        ++progressState_.filesDone;
        reportProgress();
        if (!yieldNow()) {
            return cancelRun();
        }
    }

    if (!report.writeLine(QString()) || !report.writeLine(totalLine(result.total)) ||
        !report.commit()) {
        return failReport(report.errorString());
    }

    host_.refreshFileList();
    host_.setCountButtonEnabled(true);
    host_.endstatus();
    host_.showMessage(closingMessage(result.notCounted), QString::fromLatin1(kDoneTitle));
    if (host_.editorOptionState() == 1) {
        host_.startEditor(result.reportPath);
    }
    return result;
}

}  // namespace quorvane
