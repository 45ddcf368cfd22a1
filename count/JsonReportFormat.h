#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

#include "count/ReportFormat.h"
#include "count/WordRule.h"

namespace quorvane {

// A report as one JSON object in UTF-8: the program's version, what was counted and how,
// one object per counted file, the total and the files that could not be read:
//
//   {"version": "1.0.0", "folder": "/home/ann/books", "pattern": "*.txt", "rule": "classic",
//    "documentText": false, "written": "2026-12-07T23:18:00+01:00",
//    "files": [{"index": 1, "name": "a.txt", "path": "a.txt", "words": 152,
//               "created": "2007-10-24T14:03:05+02:00"}, ...],
//    "total": 189, "notCounted": [{"name": "b.txt", "reason": "Permission denied"}]}
//
// "index" is the number a numbered report shows, "created" null when unknown, names shown
// with U+FFFD for bytes that do not decode, "written" when the report was made (absent when
// not known). Compared with an earlier report, each file it also counted gains "previous"
// and "change", and "previousTotal" and "gone" (name, path, previous) follow the total; a
// count with subtotals has "folders" (path, files, words) after the files, in the order
// their last files came. Each file is written as it comes, so memory
// stays flat however many files there are. The name options and the letter case shape only
// the text report.
class JsonReportFormat : public ReportFormat {
public:
    // What the report says about the count as a whole.
    struct About {
        QString folder;
        QString pattern;
        WordRule rule = WordRule::Classic;
        bool documentText = false;
        QDateTime written{};  // invalid: not said
        bool subtotals = false;
    };

    explicit JsonReportFormat(About about) : about_(std::move(about)) {}

    bool begin(QIODevice& out) override;
    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;
    bool folder(const FolderSubtotal& subtotal) override;
    QString errorString() const override { return error_; }

private:
    bool write(const QByteArray& bytes);
    QByteArray foldersPart() const;
    static QByteArray comparisonPart(const Comparison& comparison);

    About about_;
    QIODevice* out_ = nullptr;
    bool anyFile_ = false;
    QList<FolderSubtotal> folders_;  // few beside the files, so kept for the end
    QString error_;
};

}  // namespace quorvane
