#include "count/EarlierReport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace quorvane {

namespace {

const char* ruleName(WordRule rule) {
    return rule == WordRule::Unicode ? "unicode" : "classic";
}

// A word count as JSON holds it: a whole number, not below 0. JSON numbers are doubles,
// exact for every count a disk can hold.
std::optional<qint64> wordsOf(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number < 0 || number != static_cast<double>(static_cast<qint64>(number))) {
        return std::nullopt;
    }
    return static_cast<qint64>(number);
}

// The settings of the count: false, with the reason, when one is missing or not a setting.
bool readSettings(const QJsonObject& object, EarlierReport& report, QString& error) {
    const QString rule = object.value(QLatin1String("rule")).toString();
    if (rule != QLatin1String("classic") && rule != QLatin1String("unicode")) {
        error = QStringLiteral("it names no word rule");
        return false;
    }
    if (!object.value(QLatin1String("documentText")).isBool()) {
        error = QStringLiteral("it does not say whether document text was counted");
        return false;
    }
    report.rule = rule == QLatin1String("unicode") ? WordRule::Unicode : WordRule::Classic;
    report.documentText = object.value(QLatin1String("documentText")).toBool();
    report.folder = object.value(QLatin1String("folder")).toString();
    report.pattern = object.value(QLatin1String("pattern")).toString();
    const std::optional<qint64> total = wordsOf(object.value(QLatin1String("total")));
    if (!total) {
        error = QStringLiteral("it has no total");
        return false;
    }
    report.total = *total;
    return true;
}

// One file of the list: false, with the reason, when it has no path or no word count.
bool readFile(const QJsonObject& file, qsizetype number, EarlierReport& report, QString& error) {
    const QJsonValue path = file.value(QLatin1String("path"));
    const std::optional<qint64> words = wordsOf(file.value(QLatin1String("words")));
    if (!path.isString() || path.toString().isEmpty() || !words) {
        error = QStringLiteral("file %1 of its list has no path or no word count").arg(number);
        return false;
    }
    report.files.append({file.value(QLatin1String("name")).toString(), path.toString(), *words});
    return true;
}

bool readFiles(const QJsonArray& files, EarlierReport& report, QString& error) {
    report.files.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (!readFile(files[i].toObject(), i + 1, report, error)) {
            return false;
        }
    }
    return true;
}

// Reads the report as a whole JSON document: every shape of JSON, at about a tenth of the
// speed of quickRead.
std::optional<EarlierReport> fullRead(const QByteArray& bytes, QString& error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("not JSON (%1 at byte %2)")
                    .arg(parseError.errorString())
                    .arg(parseError.offset);
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QJsonValue files = object.value(QLatin1String("files"));
    if (!document.isObject() || !object.value(QLatin1String("version")).isString() ||
        !files.isArray()) {
        error = QStringLiteral("not a JSON report of quorvane-count");
        return std::nullopt;
    }
    EarlierReport report;
    report.version = object.value(QLatin1String("version")).toString();
    report.written =
        QDateTime::fromString(object.value(QLatin1String("written")).toString(), Qt::ISODate);
    QString damage;
    if (!readSettings(object, report, damage) || !readFiles(files.toArray(), report, damage)) {
        error = QStringLiteral("a damaged report: %1").arg(damage);
        return std::nullopt;
    }
    return report;
}

// Where a JSON string that opens at `at` ends (just past its closing quote); -1 when it
// does not close. `escaped` tells whether it holds a backslash.
qsizetype stringEnd(QByteArrayView line, qsizetype at, bool& escaped) {
    escaped = false;
    if (at >= line.size() || line[at] != '"') {
        return -1;
    }
    for (qsizetype i = at + 1; i < line.size(); ++i) {
        if (line[i] == '\\') {
            escaped = true;
            ++i;
        } else if (line[i] == '"') {
            return i + 1;
        }
    }
    return -1;
}

// Reads the whole number at `at`, moving past it; none when there is none.
std::optional<qint64> numberAt(QByteArrayView line, qsizetype& at) {
    const qsizetype from = at;
    qint64 value = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9' && at - from < 18) {
        value = value * 10 + (line[at++] - '0');
    }
    return at > from ? std::optional<qint64>(value) : std::nullopt;
}

bool skipText(QByteArrayView line, qsizetype& at, QByteArrayView text) {
    if (line.sliced(at).startsWith(text)) {
        at += text.size();
        return true;
    }
    return false;
}

// A file of a line read without JSON: its path as the line holds it, in UTF-8.
struct QuickFile {
    QByteArrayView path;
    qint64 words = 0;
};

// A file's line as this program writes it, {"index": 1, "name": "a.txt", "path": "a.txt",
// "words": 3, ...}, read for its name, path and words without building a JSON document;
// none for a line of any other shape or a path with escapes, which is then read as JSON.
std::optional<QuickFile> quickFile(QByteArrayView line) {
    qsizetype at = 0;
    bool escaped = false;
    if (!skipText(line, at, "{\"index\": ") || !numberAt(line, at) ||
        !skipText(line, at, ", \"name\": ")) {
        return std::nullopt;
    }
    at = stringEnd(line, at, escaped);
    if (at < 0 || !skipText(line, at, ", \"path\": ")) {
        return std::nullopt;
    }
    const qsizetype pathAt = at;
    const qsizetype pathEnd = stringEnd(line, pathAt, escaped);
    at = pathEnd;
    if (at < 0 || escaped || pathEnd - pathAt <= 2 || !skipText(line, at, ", \"words\": ")) {
        return std::nullopt;
    }
    const std::optional<qint64> words = numberAt(line, at);
    if (!words || !line.endsWith('}') || (at < line.size() - 1 && line[at] != ',')) {
        return std::nullopt;
    }
    // The name is the path's last part; it is worked out only for a file that is gone.
    return QuickFile{line.sliced(pathAt + 1, pathEnd - pathAt - 2), *words};
}

// Room for the files of a list of `listBytes` bytes. The paths, in the form they are kept
// in, are no longer than the list that holds them, but for bytes that are not UTF-8 (each
// becomes three); the room grows if need be. No line is shorter than its indent,
// {"path":"a","words":0} and a comma: room for that many files is only address space
// until it is used, where counting the lines first took a pass over every byte.
void reserveFor(EarlierFiles& files, qsizetype listBytes) {
    constexpr qsizetype kShortestLine = 27;
    files.reserve(listBytes / kShortestLine + 1, listBytes);
}

// The list of files as this program writes it, one to a line between "files": [ and a
// line "  ]", read line by line in one pass: a line of another shape is read as JSON, and
// the rest of the report, without the files, as a JSON document. None when the report has
// another layout or any part is not right; the caller then reads it as a whole, which
// names the fault.
std::optional<EarlierReport> quickRead(const QByteArray& bytes) {
    static const QByteArray open = "\n  \"files\": [\n";
    const qsizetype opened = bytes.indexOf(open);
    if (opened < 0) {
        return std::nullopt;
    }
    const qsizetype first = opened + open.size();
    const QByteArrayView all(bytes);
    EarlierReport listed;
    reserveFor(listed.files, all.size() - first);
    QString error;
    bool more = true;  // the list opened, or the line before ended in a comma
    qsizetype at = first;
    while (!all.sliced(at).startsWith("  ]")) {
        const qsizetype end = all.indexOf('\n', at);
        if (!more || end < 0) {
            return std::nullopt;
        }
        QByteArrayView line = all.sliced(at, end - at);
        if (!line.startsWith("    ")) {
            return std::nullopt;
        }
        more = line.endsWith(',');
        line = line.sliced(4, line.size() - (more ? 5 : 4));
        if (const std::optional<QuickFile> file = quickFile(line)) {
            listed.files.appendUtf8(file->path, file->words);
        } else {
            const QJsonDocument one = QJsonDocument::fromJson(line.toByteArray());
            if (!one.isObject() ||
                !readFile(one.object(), listed.files.size() + 1, listed, error)) {
                return std::nullopt;
            }
        }
        at = end + 1;
    }
    if (more && listed.files.size() > 0) {
        return std::nullopt;  // a comma after the last file
    }
    // Without the files: "[" from before the list, "]" and what follows from after it.
    std::optional<EarlierReport> report =
        fullRead(bytes.left(first - 1) + bytes.mid(at + 2), error);
    if (report) {
        report->files = std::move(listed.files);
        report->files.squeeze();
    }
    return report;
}

}  // namespace

std::optional<EarlierReport> EarlierReport::read(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    const QDateTime modified = QFileInfo(file).lastModified();
    // A report in the page cache is mapped rather than copied: the kernel maps its pages
    // several at a time, where a buffer of its size is first touched a page at a time.
    // The files are copied out while it is parsed, so the mapping ends with `file`.
    const qint64 size = file.isSequential() ? 0 : file.size();
    if (size > 0) {
        if (uchar* mapped = file.map(0, size)) {
            const QByteArray bytes =
                QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), size);
            return parse(bytes, modified, error);
        }
        // Opened again, as the failed mapping leaves its reason on the file.
        file.close();
        if (!file.open(QIODevice::ReadOnly)) {
            error = file.errorString();
            return std::nullopt;
        }
    }
    // A pipe, an empty file, or one that cannot be mapped is read.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return parse(bytes, modified, error);
}

std::optional<EarlierReport> EarlierReport::parse(const QByteArray& bytes,
                                                  const QDateTime& modified, QString& error) {
    std::optional<EarlierReport> report = quickRead(bytes);
    if (!report) {
        report = fullRead(bytes, error);
    }
    if (report) {
        report->writtenKnown = report->written.isValid();
        if (!report->writtenKnown) {
            report->written = modified;
        }
    }
    return report;
}

QString EarlierReport::mismatch(WordRule runRule, bool runDocumentText) const {
    if (rule != runRule) {
        return QStringLiteral(
                   "the earlier report was counted with --rule %1, this run with "
                   "--rule %2")
            .arg(QLatin1String(ruleName(rule)), QLatin1String(ruleName(runRule)));
    }
    if (documentText != runDocumentText) {
        return documentText ? QStringLiteral(
                                  "the earlier report was counted with "
                                  "--document-text, this run without it")
                            : QStringLiteral(
                                  "the earlier report was counted without "
                                  "--document-text, this run with it");
    }
    return QString();
}

}  // namespace quorvane
