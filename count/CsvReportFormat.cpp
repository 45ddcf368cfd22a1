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
    held_.clear();
    folderRows_.clear();
    holding_ = columns_.subtotals;
    QStringList header = {QStringLiteral("index"), QStringLiteral("name"), QStringLiteral("path"),
                          QStringLiteral("words"), QStringLiteral("created")};
    if (columns_.compared) {
        header << QStringLiteral("previous") << QStringLiteral("change");
    }
    return writeRow(header);
}

bool CsvReportFormat::entry(const ReportEntry& entry) {
    const QString& path = entry.relativePath.isEmpty() ? entry.name : entry.relativePath;
    QStringList row = {QString::number(entry.index + 1), field(entry.name), field(path),
                       QString::number(entry.words), isoDateTimeText(entry.created)};
    if (columns_.compared) {
        row << (entry.previous ? QString::number(*entry.previous) : QString())
            << (entry.previous ? QString::number(entry.words - *entry.previous) : QString());
    }
    return writeRow(row);
}

bool CsvReportFormat::folder(const FolderSubtotal& subtotal) {
    folderRows_.append(
        {QStringLiteral("folder"), field(subtotal.path), QString::number(subtotal.words)});
    return true;
}

bool CsvReportFormat::end(const ReportSummary& summary) {
    if (out_ == nullptr) {
        error_ = QStringLiteral("the report is not open");
        return false;
    }
    // A file gone since the earlier report: no index, words or date of its own.
    if (summary.comparison && columns_.compared) {
        for (const GoneFile& gone : summary.comparison->gone) {
            if (!writeRow({QString(), field(gone.name), field(gone.path), QString(), QString(),
                           QString::number(gone.previous), QString::number(-gone.previous)})) {
                return false;
            }
        }
    }
    if (!columns_.subtotals) {
        // Every row is written as it comes; a total would be a row unlike the others.
        return true;
    }
    // The subtotals lead, as a table of their own, and the file table waits for them.
    QByteArray files;
    files.swap(held_);
    holding_ = false;
    const QStringList header = {QStringLiteral("kind"), QStringLiteral("path"),
                                QStringLiteral("words")};
    for (const QStringList& row : QList<QStringList>{header} + folderRows_) {
        if (!writeRow(row)) {
            return false;
        }
    }
    if (!writeRow({QStringLiteral("total"), QString(), QString::number(summary.total)})) {
        return false;
    }
    files.prepend("\r\n", 2);
    return writeAll(out_, files, error_);
}

bool CsvReportFormat::writeRow(const QStringList& fields) {
    QByteArray bytes = fields.join(separator_ == Separator::Tab ? u'\t' : u',').toUtf8();
    bytes.append("\r\n", 2);
    if (holding_) {
        held_ += bytes;
        return true;
    }
    return writeAll(out_, bytes, error_);
}

}  // namespace quorvane
