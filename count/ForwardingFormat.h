#pragma once

#include "count/ReportFormat.h"

namespace quorvane {

// A layout that hands everything on to another one; what derives from it changes only
// what it has to.
class ForwardingFormat : public ReportFormat {
public:
    explicit ForwardingFormat(ReportFormat& inner) : inner_(inner) {}

    bool begin(QIODevice& out) override { return inner_.begin(out); }
    bool entry(const ReportEntry& entry) override { return inner_.entry(entry); }
    bool end(const ReportSummary& summary) override { return inner_.end(summary); }
    bool folder(const FolderSubtotal& subtotal) override { return inner_.folder(subtotal); }
    QString errorString() const override { return inner_.errorString(); }
    bool needsCreated() const override { return inner_.needsCreated(); }

protected:
    ReportFormat& inner_;
};

}  // namespace quorvane
