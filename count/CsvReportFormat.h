#pragma once

#include <QIODevice>
#include <QString>

#include "count/ReportFormat.h"

namespace quorvane {

// A report for spreadsheets and scripts: a header row "index,name,path,words,created", then
// one row per counted file in list order, in UTF-8 with CR LF line ends. The index is the
// number a numbered report shows (list position + 1), names and paths are shown with U+FFFD
// for bytes that do not decode, and "created" is ISO 8601 with its offset, empty when unknown.
// The name options and the letter case shape only the text report.
//
// Comma-separated values follow RFC 4180: a field holding a comma, a quote, CR or LF is
// quoted, its quotes doubled. Tab-separated values are never quoted, so a tab, line break or
// other control character in a name is shown as "?".
class CsvReportFormat : public ReportFormat {
public:
    enum class Separator { Comma, Tab };

    explicit CsvReportFormat(Separator separator = Separator::Comma) : separator_(separator) {}

    bool begin(QIODevice& out) override;
    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;
    QString errorString() const override { return error_; }

private:
    // A name or path as a row of this format holds it.
    QString field(const QString& text) const;
    bool writeRow(const QStringList& fields);

    Separator separator_;
    QIODevice* out_ = nullptr;
    QString error_;
};

}  // namespace quorvane
