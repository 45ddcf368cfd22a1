// Placeholder; being implemented.
#include "ReportLine.h"
namespace quorvane {
QString applyLetterCase(const QString& l, int) { return l; }
QString buildReportLine(qint64, const QString& n, qint64, const QString&, const ReportOptions&, int) { return n; }
QString totalLine(qint64 t) { return QString::number(t); }
QString dateCreatedText(const QDateTime&, const QLocale&) { return {}; }
}
