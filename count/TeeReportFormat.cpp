#include "count/TeeReportFormat.h"

namespace quorvane {

TeeReportFormat::TeeReportFormat(ReportFormat& first, ReportFormat& second,
                                 const QString& secondPath)
    : first_(first),
      second_(second),
      secondFile_(std::make_unique<ReportFile>(secondPath, ReportFile::Target::UserNamed)) {}

TeeReportFormat::~TeeReportFormat() = default;

bool TeeReportFormat::check(bool firstOk, bool secondOk) {
    if (!firstOk) {
        error_ = first_.errorString();
        return false;
    }
    if (!secondOk) {
        secondFailed_ = true;
        error_ = second_.errorString();
        return false;
    }
    return true;
}

bool TeeReportFormat::begin(QIODevice& out) {
    if (!secondFile_->create()) {
        secondFailed_ = true;
        error_ = secondFile_->errorString();
        return false;
    }
    const bool firstOk = first_.begin(out);
    return check(firstOk, firstOk && second_.begin(*secondFile_));
}

bool TeeReportFormat::entry(const ReportEntry& entry) {
    const bool firstOk = first_.entry(entry);
    return check(firstOk, firstOk && second_.entry(entry));
}

bool TeeReportFormat::folder(const FolderSubtotal& subtotal) {
    const bool firstOk = first_.folder(subtotal);
    return check(firstOk, firstOk && second_.folder(subtotal));
}

bool TeeReportFormat::end(const ReportSummary& summary) {
    const bool firstOk = first_.end(summary);
    return check(firstOk, firstOk && second_.end(summary));
}

bool TeeReportFormat::needsCreated() const {
    return first_.needsCreated() || second_.needsCreated();
}

bool TeeReportFormat::commitSecond() {
    if (secondFile_->commit()) {
        return true;
    }
    secondFailed_ = true;
    error_ = secondFile_->errorString();
    return false;
}

}  // namespace quorvane
