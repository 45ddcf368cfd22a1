#pragma once

#include <QStringEncoder>

#include <functional>

#include "count/ReportFormat.h"
#include "count/ReportLine.h"

namespace quorvane {

// The tallix.txt layout: one line per file shaped by the report options and the letter
// case, an empty line, "Total Words: " and the total; the system's 8-bit encoding, CR LF.
// Compared with an earlier report, each line gains its change in words (" (+12)", " (-3)",
// " (new)"), the files gone since follow under "Gone:", and the total gains its change
// since the earlier report's date. A count with subtotals shows "FOLDER/ — Words: N"
// after each subfolder's last file.
// The options and the letter case are asked for afresh for every line, so a change made
// while a count runs shapes the lines written after it.
class TextReportFormat : public ReportFormat {
public:
    TextReportFormat(std::function<ReportOptions()> options,
                     std::function<LetterCase()> letterCase);

    bool begin(QIODevice& out) override;
    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;
    bool folder(const FolderSubtotal& subtotal) override;
    QString errorString() const override { return error_; }
    bool needsCreated() const override;

    // A name as a report line shows it: one line whatever the name holds, so control
    // characters become "?" (as ls shows them), undecodable bytes U+FFFD.
    static QString lineSafeName(const QString& name);

private:
    bool writeLine(const QString& line);

    std::function<ReportOptions()> options_;
    std::function<LetterCase()> letterCase_;
    QStringEncoder encoder_;
    QIODevice* out_ = nullptr;
    QString error_;
};

}  // namespace quorvane
