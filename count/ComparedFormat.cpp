#include "count/ComparedFormat.h"

#include <algorithm>

#include "platform/FolderListing.h"

namespace quorvane {

ComparedFormat::ComparedFormat(ReportFormat& inner, const EarlierReport& earlier)
    : ForwardingFormat(inner),
      earlier_(earlier),
      seen_(static_cast<size_t>(earlier.files.size()), false) {
    // Two strings read back in turn, so that the check allocates nothing per file.
    QString before;
    QString after;
    if (!earlier.files.isEmpty()) {
        earlier.files.pathInto(0, before);
    }
    for (qsizetype i = 1; i < earlier.files.size() && inOrder_; ++i) {
        earlier.files.pathInto(i, after);
        inOrder_ = FolderListing::lessThan(before, after);
        before.swap(after);
    }
}

qsizetype ComparedFormat::findByName(const QString& path) {
    if (byPath_.isEmpty()) {
        byPath_.reserve(earlier_.files.size());
        for (qsizetype i = 0; i < earlier_.files.size(); ++i) {
            byPath_.insert(earlier_.files.path(i), i);
        }
    }
    return byPath_.value(path, -1);
}

bool ComparedFormat::earlierBefore(qsizetype index, const QString& path) {
    earlier_.files.pathInto(index, scratch_);
    return FolderListing::lessThan(scratch_, path);
}

qsizetype ComparedFormat::find(const QString& path) {
    const EarlierFiles& files = earlier_.files;
    EarlierFiles::formOf(path, form_);
    if (inOrder_ && next_ < files.size() && files.pathIs(next_, form_)) {
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
    while (next_ < files.size() && earlierBefore(next_, path)) {
        ++next_;
    }
    return next_ < files.size() && files.pathIs(next_, form_) ? next_++ : -1;
}

bool ComparedFormat::entry(const ReportEntry& entry) {
    ReportEntry compared = entry;
    compared.compared = true;
    const qsizetype found = find(entry.relativePath.isEmpty() ? entry.name : entry.relativePath);
    if (found >= 0) {
        compared.previous = earlier_.files.previous(found);
        seen_[static_cast<size_t>(found)] = true;
    }
    return inner_.entry(compared);
}

bool ComparedFormat::end(const ReportSummary& summary) {
    Comparison comparison;
    comparison.previousTotal = earlier_.total;
    comparison.since = earlier_.written;
    comparison.gone.reserve(std::count(seen_.cbegin(), seen_.cend(), false));
    for (qsizetype i = 0; i < earlier_.files.size(); ++i) {
        if (!seen_[static_cast<size_t>(i)]) {
            comparison.gone.append(earlier_.files.at(i));
        }
    }
    ReportSummary compared = summary;
    compared.comparison = std::move(comparison);
    return inner_.end(compared);
}

}  // namespace quorvane
