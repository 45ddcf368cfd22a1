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

bool readFiles(const QJsonArray& files, EarlierReport& report, QString& error) {
    report.files.reserve(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QJsonObject file = files[i].toObject();
        const QJsonValue path = file.value(QLatin1String("path"));
        const std::optional<qint64> words = wordsOf(file.value(QLatin1String("words")));
        if (!path.isString() || path.toString().isEmpty() || !words) {
            error = QStringLiteral("file %1 of its list has no path or no word count").arg(i + 1);
            return false;
        }
        report.files.append(
            {file.value(QLatin1String("name")).toString(), path.toString(), *words});
    }
    return true;
}

}  // namespace

std::optional<EarlierReport> EarlierReport::read(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return std::nullopt;
    }
    return parse(bytes, QFileInfo(file).lastModified(), error);
}

std::optional<EarlierReport> EarlierReport::parse(const QByteArray& bytes,
                                                  const QDateTime& modified, QString& error) {
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
    QString damage;
    if (!readSettings(object, report, damage) || !readFiles(files.toArray(), report, damage)) {
        error = QStringLiteral("a damaged report: %1").arg(damage);
        return std::nullopt;
    }
    const QJsonValue written = object.value(QLatin1String("written"));
    report.written = QDateTime::fromString(written.toString(), Qt::ISODate);
    report.writtenKnown = report.written.isValid();
    if (!report.writtenKnown) {
        report.written = modified;
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
