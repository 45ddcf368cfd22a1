#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace quorvane {

// How a text report line shows a file.
struct ReportOptions {
    bool numbered = false;             // "n. " in front
    bool dateCreated = false;          // " (Date Created: ...)" after the name
    bool trimExtension = false;        // the name cut at its first "."
    bool underscoresAsSpaces = false;  // "_" in the name -> " "
    bool hyphensAsSpaces = false;      // "-" in the name -> " "
};

// The letter case of a whole report line.
enum class LetterCase { Untouched, Upper, Lower, Title };

QString applyLetterCase(const QString& line, LetterCase letterCase);

// One file's report line, without the line end. The entry is a path relative to the counted
// folder; the name options shape its last part, the file name, and never the folders.
QString buildReportLine(qint64 entryIndex, const QString& entryName, qint64 words,
                        const QString& dateText, const ReportOptions& options,
                        LetterCase letterCase);

// "Total Words: " and the total; never case-converted.
QString totalLine(qint64 total);

// The locale's short date, a space and its long time without any time-zone part; only the
// date when the time is exactly midnight.
QString dateCreatedText(const QDateTime& local, const QLocale& locale = QLocale::system());

// ISO 8601 to the second with the offset from UTC, "2007-10-24T14:03:05+02:00", the same
// in every locale; empty for an invalid time.
QString isoDateTimeText(const QDateTime& when);

}  // namespace quorvane
