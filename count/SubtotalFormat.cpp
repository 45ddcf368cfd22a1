#include "count/SubtotalFormat.h"

namespace quorvane {

namespace {

bool holds(const QString& outer, const QString& folder) {
    return folder.size() > outer.size() ? folder.startsWith(outer) && folder[outer.size()] == u'/'
                                        : folder == outer;
}

}  // namespace

bool SubtotalFormat::closeOutside(const QString& folder, bool all) {
    while (!open_.isEmpty() && (all || !holds(open_.last().path, folder))) {
        const FolderSubtotal closed = open_.takeLast();
        if (!inner_.folder(closed)) {
            return false;
        }
    }
    return true;
}

bool SubtotalFormat::entry(const ReportEntry& entry) {
    const qsizetype slash = entry.relativePath.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : entry.relativePath.left(slash);
    if (!closeOutside(folder, false)) {
        return false;
    }
    // Opens the folders between the innermost one still open, which holds this entry's
    // folder, and that folder itself.
    const qsizetype openTo = open_.isEmpty() ? 0 : open_.last().path.size();
    for (qsizetype next = folder.indexOf(u'/'); !folder.isEmpty();
         next = folder.indexOf(u'/', next + 1)) {
        const qsizetype end = next < 0 ? folder.size() : next;
        if (end > openTo) {
            open_.append({folder.left(end), 0, 0});
        }
        if (next < 0) {
            break;
        }
    }
    for (FolderSubtotal& open : open_) {
        ++open.files;
        open.words += entry.words;
    }
    return inner_.entry(entry);
}

bool SubtotalFormat::end(const ReportSummary& summary) {
    return closeOutside(QString(), true) && inner_.end(summary);
}

}  // namespace quorvane
