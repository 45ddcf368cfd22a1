#include "count/TextReportFormat.h"

#include "platform/FileName.h"

namespace quorvane {

namespace {

QString signedNumber(qint64 change) {
    return (change < 0 ? QString() : QStringLiteral("+")) + QString::number(change);
}

// What a compared line gains: the change in words, "(new)", or nothing when unchanged.
QString changeText(const ReportEntry& entry) {
    if (!entry.compared) {
        return QString();
    }
    if (!entry.previous) {
        return QStringLiteral(" (new)");
    }
    const qint64 change = entry.words - *entry.previous;
    return change == 0 ? QString() : QStringLiteral(" (%1)").arg(signedNumber(change));
}

}  // namespace

TextReportFormat::TextReportFormat(std::function<ReportOptions()> options,
                                   std::function<LetterCase()> letterCase)
    : options_(std::move(options)),
      letterCase_(std::move(letterCase)),
      encoder_(QStringConverter::System) {}

QString TextReportFormat::lineSafeName(const QString& name) {
    QString safe = FileName::display(name);
    for (QChar& c : safe) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            c = u'?';
        }
    }
    return safe;
}

bool TextReportFormat::needsCreated() const {
    return options_ && options_().dateCreated;
}

bool TextReportFormat::begin(QIODevice& out) {
    out_ = &out;
    return true;
}

bool TextReportFormat::entry(const ReportEntry& entry) {
    const QString dateText = entry.created.isValid() ? dateCreatedText(entry.created) : QString();
    const LetterCase letterCase = letterCase_ ? letterCase_() : LetterCase::Untouched;
    const ReportOptions options = options_ ? options_() : ReportOptions{};
    // In a count of subfolders the line shows the path from the counted folder.
    const QString& shown = entry.relativePath.isEmpty() ? entry.name : entry.relativePath;
    return writeLine(buildReportLine(entry.index, lineSafeName(shown), entry.words, dateText,
                                     options, letterCase) +
                     changeText(entry));
}

bool TextReportFormat::folder(const FolderSubtotal& subtotal) {
    return writeLine(QStringLiteral("%1/ \u2014 Words: %2")
                         .arg(lineSafeName(subtotal.path))
                         .arg(subtotal.words));
}

bool TextReportFormat::end(const ReportSummary& summary) {
    if (!summary.comparison) {
        return writeLine(QString()) && writeLine(totalLine(summary.total));
    }
    const Comparison& comparison = *summary.comparison;
    if (!comparison.gone.isEmpty() &&
        !(writeLine(QString()) && writeLine(QStringLiteral("Gone:")))) {
        return false;
    }
    for (const GoneFile& gone : comparison.gone) {
        if (!writeLine(
                QStringLiteral("%1 (%2 Words)").arg(lineSafeName(gone.path)).arg(gone.previous))) {
            return false;
        }
    }
    const QString since = QStringLiteral(" (%1 since %2)")
                              .arg(signedNumber(summary.total - comparison.previousTotal),
                                   dateCreatedText(comparison.since));
    return writeLine(QString()) && writeLine(totalLine(summary.total) + since);
}

bool TextReportFormat::writeLine(const QString& line) {
    QByteArray bytes = encoder_(line);
    bytes.append("\r\n", 2);
    return writeAll(out_, bytes, error_);
}

}  // namespace quorvane
