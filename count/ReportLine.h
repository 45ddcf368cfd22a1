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

// One file's report line, without the line end.
QString buildReportLine(qint64 entryIndex, const QString& entryName, qint64 words,
                        const QString& dateText, const ReportOptions& options, int caseChoice);

// "Total Words: " and the total; never case-converted.
QString totalLine(qint64 total);

// The locale's short date, a space and its long time without any time-zone part; only the
// date when the time is exactly midnight.
QString dateCreatedText(const QDateTime& local, const QLocale& locale = QLocale::system());

}  // namespace quorvane
