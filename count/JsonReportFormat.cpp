#include "count/JsonReportFormat.h"

#include "QuorvaneVersion.h"
#include "count/ReportLine.h"
#include "platform/FileName.h"

namespace quorvane {

namespace {

// A JSON string holding the text as a person reads it: held bytes as U+FFFD, control
// characters escaped, and the line and paragraph separators too, which some readers of
// JSON take for line ends. A surrogate without its partner has no UTF-8 form and becomes
// U+FFFD.
QByteArray quoted(const QString& text) {
    const QString shown = FileName::display(text);
    QString out;
    out.reserve(shown.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        switch (c.unicode()) {
            case u'"':
                out += QStringLiteral("\\\"");
                continue;
            case u'\\':
                out += QStringLiteral("\\\\");
                continue;
            case u'\n':
                out += QStringLiteral("\\n");
                continue;
            case u'\r':
                out += QStringLiteral("\\r");
                continue;
            case u'\t':
                out += QStringLiteral("\\t");
                continue;
            default:
                break;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else if (c.isHighSurrogate() && i + 1 < shown.size() && shown[i + 1].isLowSurrogate()) {
            out += c;
            out += shown[++i];
        } else if (c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    out += u'"';
    return out.toUtf8();
}

const char* ruleName(WordRule rule) {
    return rule == WordRule::Unicode ? "unicode" : "classic";
}

}  // namespace

bool JsonReportFormat::begin(QIODevice& out) {
    out_ = &out;
    anyFile_ = false;
    folders_.clear();
    QByteArray head = "{\n  \"version\": " + quoted(QString::fromLatin1(version::kText));
    head += ",\n  \"folder\": " + quoted(about_.folder);
    head += ",\n  \"pattern\": " + quoted(about_.pattern);
    head += ",\n  \"rule\": \"" + QByteArray(ruleName(about_.rule)) + '"';
    head += ",\n  \"documentText\": " + QByteArray(about_.documentText ? "true" : "false");
    if (about_.written.isValid()) {
        head += ",\n  \"written\": " + quoted(isoDateTimeText(about_.written));
    }
    head += ",\n  \"files\": [";
    return write(head);
}

bool JsonReportFormat::entry(const ReportEntry& entry) {
    const QString& path = entry.relativePath.isEmpty() ? entry.name : entry.relativePath;
    QByteArray line = anyFile_ ? ",\n    " : "\n    ";
    line += "{\"index\": " + QByteArray::number(entry.index + 1);
    line += ", \"name\": " + quoted(entry.name);
    line += ", \"path\": " + quoted(path);
    line += ", \"words\": " + QByteArray::number(entry.words);
    line += ", \"created\": " +
            (entry.created.isValid() ? quoted(isoDateTimeText(entry.created)) : "null");
    // Only where there is something to say, so a report of sound files stays as it was.
    if (entry.warnings) {
        const QStringList texts = warningTexts(entry.warnings);
        line += ", \"warnings\": [";
        for (qsizetype i = 0; i < texts.size(); ++i) {
            line += (i == 0 ? "" : ", ") + quoted(texts[i]);
        }
        line += ']';
    }
    if (entry.previous) {
        line += ", \"previous\": " + QByteArray::number(*entry.previous);
        line += ", \"change\": " + QByteArray::number(entry.words - *entry.previous);
    }
    line += '}';
    anyFile_ = true;
    return write(line);
}

bool JsonReportFormat::folder(const FolderSubtotal& subtotal) {
    folders_.append(subtotal);
    return true;
}

QByteArray JsonReportFormat::foldersPart() const {
    QByteArray part = ",\n  \"folders\": [";
    for (qsizetype i = 0; i < folders_.size(); ++i) {
        const FolderSubtotal& folder = folders_[i];
        part += i == 0 ? "\n    " : ",\n    ";
        part += "{\"path\": " + quoted(folder.path) +
                ", \"files\": " + QByteArray::number(folder.files) +
                ", \"words\": " + QByteArray::number(folder.words) + '}';
    }
    part += folders_.isEmpty() ? "]" : "\n  ]";
    return part;
}

QByteArray JsonReportFormat::comparisonPart(const Comparison& comparison) {
    QByteArray part = ",\n  \"previousTotal\": " + QByteArray::number(comparison.previousTotal);
    part += ",\n  \"gone\": [";
    for (qsizetype i = 0; i < comparison.gone.size(); ++i) {
        const GoneFile& gone = comparison.gone[i];
        part += i == 0 ? "\n    " : ",\n    ";
        part += "{\"name\": " + quoted(gone.name) + ", \"path\": " + quoted(gone.path) +
                ", \"previous\": " + QByteArray::number(gone.previous) + '}';
    }
    part += comparison.gone.isEmpty() ? "]" : "\n  ]";
    return part;
}

bool JsonReportFormat::end(const ReportSummary& summary) {
    QByteArray tail = anyFile_ ? "\n  ]" : "]";
    if (about_.subtotals) {
        tail += foldersPart();
    }
    tail += ",\n  \"total\": " + QByteArray::number(summary.total);
    if (summary.comparison) {
        tail += comparisonPart(*summary.comparison);
    }
    tail += ",\n  \"notCounted\": [";
    for (qsizetype i = 0; i < summary.notCounted.size(); ++i) {
        const NotCounted& file = summary.notCounted[i];
        tail += i == 0 ? "\n    " : ",\n    ";
        tail += "{\"name\": " + quoted(file.name) + ", \"reason\": " + quoted(file.reason) + '}';
    }
    tail += summary.notCounted.isEmpty() ? "]\n}\n" : "\n  ]\n}\n";
    return write(tail);
}

bool JsonReportFormat::write(const QByteArray& bytes) {
    return writeAll(out_, bytes, error_);
}

}  // namespace quorvane
