#include "cli/CliHost.h"

#include <cstdio>

#include "platform/TerminationSignals.h"

namespace quorvane {

namespace {
constexpr qint64 kProgressDelayMs = 1000;
constexpr qint64 kProgressEveryMs = 200;
}  // namespace

CliHost::CliHost() {
    running_.start();
}

void CliHost::attach(CountJob& job) {
    running_.restart();
    lastYieldNs_ = 0;
    job.setYieldCallback([this, &job] { onYield(job); });
    job.setProgressCallback([this](const CountProgress& p) { onProgress(p); });
}

void CliHost::onYield(CountJob& job) {
    const qint64 now = running_.nsecsElapsed();
    longestGapNs_ = qMax(longestGapNs_, now - lastYieldNs_);
    lastYieldNs_ = now;
    if (TerminationSignals::caught() != 0) {
        job.cancel();
    }
}

void CliHost::finish() {
    if (progressShown_) {
        drawProgress(last_);
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
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
