#include "count/ReportLine.h"

namespace quorvane {

namespace {

// Characters after which title case starts a new word.
bool startsTitleWordAfter(QChar c) {
    switch (c.unicode()) {
        case u' ':
        case u'\t':
        case u'\n':
        case u'\v':
        case u'\f':
        case u'\r':
        case u'\0':
            return true;
        default:
            return false;
    }
}

QString titleCase(const QString& line) {
    const QString lower = line.toLower();
    QString result;
    result.reserve(lower.size());
    for (qsizetype i = 0; i < lower.size();) {
        // A character outside the basic plane is two code units and is converted whole.
        const qsizetype width =
            (lower[i].isHighSurrogate() && i + 1 < lower.size() && lower[i + 1].isLowSurrogate())
                ? 2
                : 1;
        const QString piece = lower.mid(i, width);
        const bool wordStart = i == 0 || startsTitleWordAfter(lower[i - 1]);
        result += wordStart ? piece.toUpper() : piece;
        i += width;
    }
    return result;
}

// The closing partner of a bracket some locales put around the time zone ("(t)", "[t]"),
// or a null character when the character opens nothing.
QChar closingBracketFor(QChar open) {
    switch (open.unicode()) {
        case u'(':
            return u')';
        case u'[':
            return u']';
        case u'\uFF08':  // full-width parentheses
            return u'\uFF09';
        case u'\uFF3B':  // full-width square brackets
            return u'\uFF3D';
        default:
            return QChar();
    }
}

// Removes the time-zone fields ("t", "tt", ...) from a Qt time format, leaving quoted
// literal text alone. Whatever only framed the zone goes with it, so the text never ends
// in "()", "[]" or a dangling comma: the brackets right around it, and the blank (with a
// comma in front of it) that joined it to the rest.
QString withoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            result += c;
            continue;
        }
        if (quoted || c != u't') {
            result += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u't') {
            ++i;
        }
        const QChar close = result.isEmpty() ? QChar() : closingBracketFor(result.back());
        if (!close.isNull() && i + 1 < format.size() && format[i + 1] == close) {
            result.chop(1);
            ++i;
        }
        if (result.endsWith(u' ')) {
            result.chop(1);
            if (result.endsWith(u',')) {
                result.chop(1);
            }
        } else if (i + 1 < format.size() && format[i + 1] == u' ') {
            ++i;
        }
    }
    return result.trimmed();
}

}  // namespace

QString applyLetterCase(const QString& line, LetterCase letterCase) {
    switch (letterCase) {
        case LetterCase::Upper:
            return line.toUpper();
        case LetterCase::Lower:
            return line.toLower();
        case LetterCase::Title:
            return titleCase(line);
        case LetterCase::Untouched:
            break;
    }
    return line;
}

QString buildReportLine(qint64 entryIndex, const QString& entryName, qint64 words,
                        const QString& dateText, const ReportOptions& options,
                        LetterCase letterCase) {
    const qsizetype nameStart = entryName.lastIndexOf(u'/') + 1;
    QString name = entryName.mid(nameStart);
    if (options.trimExtension) {
        const qsizetype dot = name.indexOf(u'.');
        if (dot >= 0) {
            name.truncate(dot);
        }
    }
    if (options.underscoresAsSpaces) {
        name.replace(u'_', u' ');
    }
    if (options.hyphensAsSpaces) {
        name.replace(u'-', u' ');
    }
    QString line;
    if (options.numbered) {
        line += QString::number(entryIndex + 1) + QStringLiteral(". ");
    }
    line += entryName.left(nameStart) + name;
    if (options.dateCreated) {
        line += QStringLiteral(" (Date Created: ") + dateText + u')';
    }
    line += QStringLiteral(" (") + QString::number(words) + QStringLiteral(" Words)");
    return applyLetterCase(line, letterCase);
}

QString totalLine(qint64 total) {
    return QStringLiteral("Total Words: ") + QString::number(total);
}

QString dateCreatedText(const QDateTime& local, const QLocale& locale) {
    const QDateTime when = local.toLocalTime();
    QString text = locale.toString(when.date(), QLocale::ShortFormat);
    const QTime time = when.time();
    // The text shows whole seconds, so a fraction of a second after midnight is midnight.
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0) {
        text +=
            u' ' + locale.toString(time, withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
    }
    return text;
}

QString isoDateTimeText(const QDateTime& when) {
    if (!when.isValid()) {
        return QString();
    }
    const int offset = when.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return when.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace quorvane
