#pragma once

#include <QElapsedTimer>

#include "count/CountJob.h"

namespace quorvane {

// What the headless counter does while a count runs: an optional progress line on
// standard error, the longest stretch between two yields for the benchmarks, and
// cancelling when a termination signal arrives.
class CliHost {
public:
    CliHost();

    // Shown only on a terminal and only once a run has taken longer than a second.
    void setShowProgress(bool show) { showProgress_ = show; }
    void attach(CountJob& job);
    // Closes the progress line, if one was drawn.
    void finish();

    // The longest stretch the job worked without yielding, in milliseconds.
    double longestYieldGapMs() const { return longestGapNs_ / 1e6; }

private:
    void onYield(CountJob& job);
    void onProgress(const CountProgress& progress);
    void drawProgress(const CountProgress& progress);

    bool showProgress_ = false;
    bool progressShown_ = false;
    QElapsedTimer running_;
    qint64 lastDrawMs_ = 0;
    qint64 lastYieldNs_ = 0;
    qint64 longestGapNs_ = 0;
    CountProgress last_;
};

}  // namespace quorvane
