#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace quorvane {

// Check-box states as the window holds them: 0 unchecked, 1 checked, 2 greyed.
// The report options count as set in every state but 0.
struct ReportOptions {
    short remext = 0;         // chkremext: cut the name at its first "."
    short remunderscore = 0;  // chkremunderscore: "_" -> " "
    short remhyphen = 0;      // chkremhyphen: "-" -> " "
    short numlist = 0;        // chknumlist: "n. " in front
    short datecreated = 0;    // chkdatecreated: " (Date Created: ...)"
};

// Letter case of a whole line: 0 untouched, 1 upper, 2 lower, 3 title; anything else untouched.
QString applyLetterCase(const QString& line, int caseChoice);

// One file's report line, without the line end. The entry is a path relative to the counted
// folder; the name options shape its last part, the file name, and never the folders.
QString buildReportLine(qint64 entryIndex, const QString& entryName, qint64 words,
                        const QString& dateText, const ReportOptions& options, int caseChoice);

// "Total Words: " and the total; never case-converted.
QString totalLine(qint64 total);

// The locale's short date, a space and its long time without any time-zone part; only the
// date when the time is exactly midnight.
QString dateCreatedText(const QDateTime& local, const QLocale& locale = QLocale::system());

// ISO 8601 to the second with the offset from UTC, "2007-10-24T14:03:05+02:00", the same
// in every locale; empty for an invalid time.
QString isoDateTimeText(const QDateTime& when);

}  // namespace quorvane
