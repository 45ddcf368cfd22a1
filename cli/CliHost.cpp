#include "CliHost.h"

#include <cstdio>

namespace quorvane {

namespace {
constexpr qint64 kProgressDelayMs = 1000;
constexpr qint64 kProgressEveryMs = 200;
}  // namespace

CliHost::CliHost(QString folder, QStringList names, ReportOptions options, int caseChoice)
    : folder_(std::move(folder)),
      names_(std::move(names)),
      options_(options),
      caseChoice_(caseChoice) {}

void CliHost::startstatus() {
    running_.start();
    lastYieldNs_ = 0;
}

void CliHost::endstatus() {
    if (progressShown_) {
        drawProgress(last_);
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
}

QDateTime CliHost::dateCreated(const QString& path) const {
    return dates_.dateCreated(path);
}

void CliHost::yieldToEvents() {
    const qint64 now = running_.nsecsElapsed();
    longestGapNs_ = qMax(longestGapNs_, now - lastYieldNs_);
    lastYieldNs_ = now;
}

void CliHost::onProgress(const CountProgress& progress) {
    last_ = progress;
    if (!showProgress_) {
        return;
    }
    const qint64 ms = running_.elapsed();
    if (ms >= kProgressDelayMs && ms - lastDrawMs_ >= kProgressEveryMs) {
        lastDrawMs_ = ms;
        drawProgress(progress);
    }
}

void CliHost::drawProgress(const CountProgress& progress) {
    const double seconds = qMax<qint64>(running_.elapsed(), 1) / 1000.0;
    const double mb = progress.bytesRead / (1024.0 * 1024.0);
    std::fprintf(stderr, "\r%lld of %lld files, %.1f MB read, %.1f MB/s   ",
                 static_cast<long long>(progress.filesDone),
                 static_cast<long long>(progress.filesTotal), mb, mb / seconds);
    std::fflush(stderr);
    progressShown_ = true;
}

}  // namespace quorvane
