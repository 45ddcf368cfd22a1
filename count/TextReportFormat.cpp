#include "count/TextReportFormat.h"

#include "platform/FileName.h"

namespace quorvane {

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
                                     options, letterCase));
}

bool TextReportFormat::end(const ReportSummary& summary) {
    return writeLine(QString()) && writeLine(totalLine(summary.total));
}

bool TextReportFormat::writeLine(const QString& line) {
    QByteArray bytes = encoder_(line);
    bytes.append("\r\n", 2);
    return writeAll(out_, bytes, error_);
}

}  // namespace quorvane
