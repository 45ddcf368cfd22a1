#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

#include "count/EarlierFiles.h"
#include "count/ReportFormat.h"
#include "count/WordRule.h"

namespace quorvane {

// A JSON report this program wrote before, read back to compare a new count with it.
struct EarlierReport {
    QString version;
    QString folder;
    QString pattern;
    WordRule rule = WordRule::Classic;
    bool documentText = false;
    QDateTime written;          // the report's own date, else its file's modification time
    bool writtenKnown = false;  // whether the report said when it was written
    qint64 total = 0;
    // Every counted file, its words as `previous`, in report order.
    EarlierFiles files;

    // The report at `path`; none, with a reason a person can act on in `error`, when it
    // cannot be read or is not a whole report of this program.
    static std::optional<EarlierReport> read(const QString& path, QString& error);
    // Reads the report's bytes; `modified` stands in for a date the report does not hold.
    static std::optional<EarlierReport> parse(const QByteArray& bytes, const QDateTime& modified,
                                              QString& error);

    // Which setting of this run differs from the earlier count's, as a sentence; empty when
    // the counts can be compared.
    QString mismatch(WordRule runRule, bool runDocumentText) const;
};

}  // namespace quorvane
