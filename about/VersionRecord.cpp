#include "about/VersionRecord.h"

#include "QuorvaneVersion.h"

namespace quorvane {

VersionRecord VersionRecord::current() {
    return {version::kMajor, version::kMinor, version::kRevision,
            QString::fromUtf8(version::kFileDescription),
            QString::fromUtf8(version::kLegalCopyright)};
}

QString VersionRecord::versionText() const {
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

AboutTexts AboutTexts::build(const VersionRecord& record) {
    return {QString::fromUtf8(kVersionNotice) + QStringLiteral("Version: ") + record.versionText(),
            record.fileDescription, record.legalCopyright};
}

QString windowTitle(const VersionRecord& record) {
    return QString::fromUtf8(version::kProductName) + QStringLiteral(" Version: ") +
           record.versionText();
}

}  // namespace quorvane
