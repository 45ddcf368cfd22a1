#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

#include "count/EarlierReport.h"
#include "count/ForwardingFormat.h"

namespace quorvane {

// Gives each entry the count an earlier report had for the same relative path, and the
// summary the files that report counted and this count did not. A file that moved is new
// at its new path and gone from its old one.
//
// Both lists normally come in the listing's order, so they are walked side by side; an
// entry out of that order (or an earlier report that is not in it) switches to looking
// paths up by name, which costs a table of every earlier path.
class ComparedFormat : public ForwardingFormat {
public:
    // Both must outlive the format.
    ComparedFormat(ReportFormat& inner, const EarlierReport& earlier);

    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;

private:
    // The earlier file at `path`; -1 for a file new since.
    qsizetype find(const QString& path);
    qsizetype findByName(const QString& path);

    // Whether earlier path `index` comes before `path` in the listing's order.
    bool earlierBefore(qsizetype index, const QString& path);

    const EarlierReport& earlier_;
    std::vector<bool> seen_;
    bool inOrder_ = true;  // both lists so far in the listing's order
    qsizetype next_ = 0;   // while in order: the first earlier file not yet passed
    QString lastPath_;
    QByteArray form_;                   // the entry's path in the form earlier paths are kept in
    QString scratch_;                   // an earlier path, read back for an order test
    QHash<QString, qsizetype> byPath_;  // index into earlier_.files, once out of order
};

}  // namespace quorvane
