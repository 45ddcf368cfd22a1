#include "count/ComparedFormat.h"

namespace quorvane {

ComparedFormat::ComparedFormat(ReportFormat& inner, const EarlierReport& earlier)
    : ForwardingFormat(inner), earlier_(earlier), seen_(earlier.files.size(), false) {
    byPath_.reserve(earlier.files.size());
    for (qsizetype i = 0; i < earlier.files.size(); ++i) {
        byPath_.insert(earlier.files[i].path, i);
    }
}

bool ComparedFormat::entry(const ReportEntry& entry) {
    ReportEntry compared = entry;
    compared.compared = true;
    const QString& path = entry.relativePath.isEmpty() ? entry.name : entry.relativePath;
    const auto found = byPath_.constFind(path);
    if (found != byPath_.constEnd()) {
        compared.previous = earlier_.files[*found].previous;
        seen_[*found] = true;
    }
    return inner_.entry(compared);
}

bool ComparedFormat::end(const ReportSummary& summary) {
    Comparison comparison;
    comparison.previousTotal = earlier_.total;
    comparison.since = earlier_.written;
    for (qsizetype i = 0; i < earlier_.files.size(); ++i) {
        if (!seen_[i]) {
            comparison.gone.append(earlier_.files[i]);
        }
    }
    ReportSummary compared = summary;
    compared.comparison = std::move(comparison);
    return inner_.end(compared);
}

}  // namespace quorvane
