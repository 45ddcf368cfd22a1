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

    // "1.0.0": the three numbers in decimal, unpadded, joined by dots.
    QString versionText() const;
};

// The three About texts, built anew from a version record each time they are shown.
struct AboutTexts {
    QString versionLine;  // our short copyright notice ending in "Version: 1.0.0"
    QString info;         // the file description
    QString copyright;    // the legal copyright text

    static AboutTexts build(const VersionRecord& record);
};

// The notice the version line starts with; the version follows it.
inline constexpr const char* kVersionNotice = "Copyright (C) 2026 Plumwick. ";

// "Plumwick Quorvane Version: 1.0.0"
QString windowTitle(const VersionRecord& record);

}  // namespace quorvane
