#pragma once

#include <memory>

#include "count/ReportFormat.h"
#include "platform/ReportFile.h"

namespace quorvane {

// Writes one count in two layouts at once: the first on the device the count job gives
// it, the second on a report file of its own. That file replaces an earlier one only on
// commitSecond(), which its caller calls once the first report stands, so a run that
// fails leaves both earlier reports as they were. secondFailed() tells whose reason
// errorString() gives.
class TeeReportFormat : public ReportFormat {
public:
    TeeReportFormat(ReportFormat& first, ReportFormat& second, const QString& secondPath);
    ~TeeReportFormat() override;

    bool begin(QIODevice& out) override;
    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;
    bool folder(const FolderSubtotal& subtotal) override;
    QString errorString() const override { return error_; }
    bool needsCreated() const override;

    // Puts the second report in place of an earlier one; false with errorString() when it
    // cannot be.
    bool commitSecond();
    bool secondFailed() const { return secondFailed_; }

private:
    // Takes the outcome of one step: false, with the reason of whichever layout failed.
    bool check(bool firstOk, bool secondOk);

    ReportFormat& first_;
    ReportFormat& second_;
    std::unique_ptr<ReportFile> secondFile_;
    bool secondFailed_ = false;
    QString error_;
};

}  // namespace quorvane
