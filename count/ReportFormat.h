#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QList>
#include <QString>

#include <optional>

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

// A file an earlier report counted that this count did not.
struct GoneFile {
    QString name;
    QString path;  // from the counted folder, "/" between folders
    qint64 previous = 0;
};

// This count beside an earlier report of the same folder.
struct Comparison {
    qint64 previousTotal = 0;
    QDateTime since;       // when the earlier report was written
    QList<GoneFile> gone;  // in the earlier report's order
};

// One subfolder's files, and those of the folders below it, once its last file is in.
struct FolderSubtotal {
    QString path;  // from the counted folder, "/" between folders, no "/" at the end
    qint64 files = 0;
    qint64 words = 0;
};

// What a report closes with. Built from the total and the files not counted; a comparison
// is added on the way to the layout.
struct ReportSummary {
    ReportSummary(qint64 total = 0, QList<NotCounted> notCounted = {})
        : total(total), notCounted(std::move(notCounted)) {}

    qint64 total = 0;
    QList<NotCounted> notCounted;
    std::optional<Comparison> comparison;  // only when compared with an earlier report
};

// One counted file, as a report shows it.
struct ReportEntry {
    qint64 index = 0;      // position in the file list, from 0; skipped entries keep theirs
    QString name;          // the file name as listed (may hold undecodable bytes)
    QString relativePath;  // from the counted folder, "/" between folders
    qint64 words = 0;
    QDateTime created;     // local time; invalid when unknown
    FileWarnings warnings;
    // Compared with an earlier report: the count it had for the same path, none for a file
    // new since.
    bool compared = false;
    std::optional<qint64> previous{};
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
    // A subfolder whose last file has gone by; only in a count asked for subtotals. Layouts
    // without subtotals take no notice.
    virtual bool folder(const FolderSubtotal& /*subtotal*/) { return true; }
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
