#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include "CountHost.h"
#include "CountJob.h"
#include "CreationDates.h"

namespace quorvane {

// Runs a count job without a window: the folder and names come from the command line's
// listing, the options from its flags; nothing is shown but an optional progress line on
// standard error.
class CliHost : public CountHost {
public:
    CliHost(QString folder, QStringList names, ReportOptions options, int caseChoice);

    QString fileListPath() const override { return folder_; }
    QStringList fileListEntries() const override { return names_; }
    void refreshFileList() override {}
    void setCountButtonEnabled(bool) override {}
    void startstatus() override;
    void endstatus() override;
    ReportOptions reportOptions() const override { return options_; }
    short editorOptionState() const override { return 0; }
    QString readCaseSetting() const override { return QString::number(caseChoice_); }
    QDateTime dateCreated(const QString& path) const override;
    void showMessage(const QString&, const QString&) override {}
    void startEditor(const QString&) override {}
    void yieldToEvents() override;

    // Feeds the live progress line; shown only on a terminal and only once a run has taken
    // longer than a second.
    void setShowProgress(bool show) { showProgress_ = show; }
    void onProgress(const CountProgress& progress);

    // The longest stretch the job worked without yielding, in milliseconds.
    double longestYieldGapMs() const { return longestGapNs_ / 1e6; }

private:
    void drawProgress(const CountProgress& progress);

    QString folder_;
    QStringList names_;
    ReportOptions options_;
    int caseChoice_;
    CreationDates dates_;

    bool showProgress_ = false;
    bool progressShown_ = false;
    QElapsedTimer running_;
    qint64 lastDrawMs_ = 0;
    qint64 lastYieldNs_ = 0;
    qint64 longestGapNs_ = 0;
    CountProgress last_;
};

}  // namespace quorvane
