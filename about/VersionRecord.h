#pragma once

#include <QString>

namespace quorvane {

// The program's build-time version record.
struct VersionRecord {
    short major = 0;
    short minor = 0;
    short revision = 0;
    QString fileDescription;
    QString legalCopyright;

    // This build's record, from the generated version header.
    static VersionRecord current();
};

// The three About texts, built anew from a version record each time they are shown.
struct AboutTexts {
    QString versionLine;  // our short copyright notice ending in "Version: 1.0.0"
    QString info;         // the file description
    QString copyright;    // the legal copyright text

    static AboutTexts build(const VersionRecord& record);
};

// "Plumwick Quorvane Version: 1.0.0"
QString windowTitle(const VersionRecord& record);

}  // namespace quorvane
