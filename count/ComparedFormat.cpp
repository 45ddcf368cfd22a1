#include "count/ComparedFormat.h"

#include <algorithm>

#include "platform/FolderListing.h"

namespace quorvane {

ComparedFormat::ComparedFormat(ReportFormat& inner, const EarlierReport& earlier)
    : ForwardingFormat(inner), earlier_(earlier), seen_(earlier.files.size(), false) {
    const QList<GoneFile>& files = earlier.files;
    for (qsizetype i = 1; i < files.size() && inOrder_; ++i) {
        inOrder_ = FolderListing::lessThan(files[i - 1].path, files[i].path);
    }
}

qsizetype ComparedFormat::findByName(const QString& path) {
    if (byPath_.isEmpty()) {
        byPath_.reserve(earlier_.files.size());
        for (qsizetype i = 0; i < earlier_.files.size(); ++i) {
            byPath_.insert(earlier_.files[i].path, i);
        }
    }
    return byPath_.value(path, -1);
}

qsizetype ComparedFormat::find(const QString& path) {
    const QList<GoneFile>& files = earlier_.files;
    if (inOrder_ && next_ < files.size() && files[next_].path == path) {
        lastPath_ = path;
        return next_++;
    }
    // Unless this path comes after the last, the earlier files it passes are not counted
    // now, and the one it stops at is its own or comes after it.
    inOrder_ = inOrder_ && (lastPath_.isNull() || FolderListing::lessThan(lastPath_, path));
    lastPath_ = path;
    if (!inOrder_) {
        return findByName(path);
    }
    while (next_ < files.size() && FolderListing::lessThan(files[next_].path, path)) {
        ++next_;
    }
    return next_ < files.size() && files[next_].path == path ? next_++ : -1;
}

bool ComparedFormat::entry(const ReportEntry& entry) {
    ReportEntry compared = entry;
    compared.compared = true;
    const qsizetype found = find(entry.relativePath.isEmpty() ? entry.name : entry.relativePath);
    if (found >= 0) {
        compared.previous = earlier_.files[found].previous;
        seen_[found] = true;
    }
    return inner_.entry(compared);
}

bool ComparedFormat::end(const ReportSummary& summary) {
    Comparison comparison;
    comparison.previousTotal = earlier_.total;
    comparison.since = earlier_.written;
    comparison.gone.reserve(std::count(seen_.cbegin(), seen_.cend(), false));
    for (qsizetype i = 0; i < earlier_.files.size(); ++i) {
        if (!seen_[i]) {
            GoneFile gone = earlier_.files[i];
            if (gone.name.isEmpty()) {
                gone.name = gone.path.mid(gone.path.lastIndexOf(u'/') + 1);
            }
            comparison.gone.append(gone);
        }
    }
    ReportSummary compared = summary;
    compared.comparison = std::move(comparison);
    return inner_.end(compared);
}

}  // namespace quorvane
