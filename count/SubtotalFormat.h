#pragma once

#include <QList>

#include "count/ForwardingFormat.h"

namespace quorvane {

// Adds up the words of each subfolder (its files and its subfolders') as the entries go by,
// and hands each subfolder's subtotal on right after its last file, the deepest first. The
// list must keep each folder's files together, as a listing sorted by path does.
class SubtotalFormat : public ForwardingFormat {
public:
    using ForwardingFormat::ForwardingFormat;

    bool entry(const ReportEntry& entry) override;
    bool end(const ReportSummary& summary) override;

private:
    // Hands on the open folders that do not hold `folder` (every one with `all`).
    bool closeOutside(const QString& folder, bool all);

    QList<FolderSubtotal> open_;  // the folders of the last entry, outermost first
};

}  // namespace quorvane
