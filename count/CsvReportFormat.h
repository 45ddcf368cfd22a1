#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

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
//
// Compared with an earlier report, the rows gain "previous" and "change" (empty for a new
// file), and each file gone since follows the counted ones as a row with only its name,
// path, previous count and change. With subtotals, a table "kind,path,words" leads: a
// "folder" row per subfolder, in the order their last files came, and a "total" row; an
// empty line, then the file table, which is held until the count ends.
class CsvReportFormat : public ReportFormat {
public:
    enum class Separator { Comma, Tab };

    // What the report holds beyond a row per file.
    struct Columns {
        bool compared = false;
        bool subtotals = false;
    };

    explicit CsvReportFormat(Separator separator = Separator::Comma) : separator_(separator) {}
    CsvReportFormat(Separator separator, Columns columns)
        : separator_(separator), columns_(columns) {}

    bool begin(QIODevice& out) override;
    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;
    bool folder(const FolderSubtotal& subtotal) override;
    QString errorString() const override { return error_; }

private:
    // A name or path as a row of this format holds it.
    QString field(const QString& text) const;
    bool writeRow(const QStringList& fields);

    Separator separator_;
    Columns columns_;
    QIODevice* out_ = nullptr;
    bool holding_ = false;  // rows go to held_ until the subtotals are written
    QByteArray held_;
    QList<QStringList> folderRows_;
    QString error_;
};

}  // namespace quorvane
