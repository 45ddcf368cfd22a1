#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

#include "count/FileWarnings.h"

namespace quorvane {

// One listed file that got no line, and the system's reason.
struct NotCounted {
    QString name;  // as listed: the relative path
    QString reason;
};

// One counted file whose count comes with warnings.
struct Warned {
    QString name;  // as listed: the relative path
    FileWarnings warnings;
};

// What a report closes with.
struct ReportSummary {
    qint64 total = 0;
    QList<NotCounted> notCounted;
};

// One counted file, as a report shows it.
struct ReportEntry {
    qint64 index = 0;      // position in the file list, from 0; skipped entries keep theirs
    QString name;          // the file name as listed (may hold undecodable bytes)
    QString relativePath;  // from the counted folder, "/" between folders
    qint64 words = 0;
    QDateTime created;     // local time; invalid when unknown
    FileWarnings warnings;
};

// Turns the entries of one count into the bytes of a report: begin, one entry() per
// counted file in list order, end. Each returns false once writing failed, with the
// device's reason in errorString().
class ReportFormat {
public:
    virtual ~ReportFormat() = default;
    virtual bool begin(QIODevice& out) = 0;
    virtual bool entry(const ReportEntry& entry) = 0;
    virtual bool end(const ReportSummary& summary) = 0;
    virtual QString errorString() const = 0;
    // Whether the next entry needs its creation date; finding one costs a system call.
    virtual bool needsCreated() const { return true; }

protected:
    // Writes all of `bytes`; false, with the reason in `error`, when the report is not open
    // or the device took less.
    static bool writeAll(QIODevice* out, const QByteArray& bytes, QString& error) {
        if (out == nullptr) {
            error = QStringLiteral("the report is not open");
            return false;
        }
        if (out->write(bytes) != bytes.size()) {
            error = out->errorString();
            return false;
        }
        return true;
    }
};

}  // namespace quorvane
