#include "count/CsvReportFormat.h"

#include <QStringList>

#include "count/ReportLine.h"
#include "platform/FileName.h"

namespace quorvane {

namespace {

// Characters that end a line or a field in some reader: the control characters, and the
// line and paragraph separators.
bool breaksTabRow(QChar c) {
    return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029;
}

}  // namespace

QString CsvReportFormat::field(const QString& text) const {
    QString shown = FileName::display(text);
    if (separator_ == Separator::Tab) {
        for (QChar& c : shown) {
            if (breaksTabRow(c)) {
                c = u'?';
            }
        }
        return shown;
    }
    const bool quoted = shown.contains(u',') || shown.contains(u'"') || shown.contains(u'\r') ||
                        shown.contains(u'\n');
    if (!quoted) {
        return shown;
    }
    shown.replace(u'"', QStringLiteral("\"\""));
    return u'"' + shown + u'"';
}

bool CsvReportFormat::begin(QIODevice& out) {
    out_ = &out;
    return writeRow({QStringLiteral("index"), QStringLiteral("name"), QStringLiteral("path"),
                     QStringLiteral("words"), QStringLiteral("created")});
}

bool CsvReportFormat::entry(const ReportEntry& entry) {
    const QString& path = entry.relativePath.isEmpty() ? entry.name : entry.relativePath;
    return writeRow({QString::number(entry.index + 1), field(entry.name), field(path),
                     QString::number(entry.words), isoDateTimeText(entry.created)});
}

bool CsvReportFormat::end(const ReportSummary& /*summary*/) {
    // Every row is written as it comes; a total would be a row unlike the others.
    if (out_ == nullptr) {
        error_ = QStringLiteral("the report is not open");
        return false;
    }
    return true;
}

bool CsvReportFormat::writeRow(const QStringList& fields) {
    QByteArray bytes = fields.join(separator_ == Separator::Tab ? u'\t' : u',').toUtf8();
    bytes.append("\r\n", 2);
    return writeAll(out_, bytes, error_);
}

}  // namespace quorvane
