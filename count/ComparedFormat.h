#pragma once

#include <QHash>
#include <QList>

#include "count/EarlierReport.h"
#include "count/ForwardingFormat.h"

namespace quorvane {

// Gives each entry the count an earlier report had for the same relative path, and the
// summary the files that report counted and this count did not. A file that moved is new
// at its new path and gone from its old one.
class ComparedFormat : public ForwardingFormat {
public:
    ComparedFormat(ReportFormat& inner, const EarlierReport& earlier);

    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;

private:
    const EarlierReport& earlier_;
    QHash<QString, qsizetype> byPath_;  // index into earlier_.files
    QList<bool> seen_;
};

}  // namespace quorvane
