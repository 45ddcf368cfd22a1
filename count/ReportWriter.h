#pragma once

#include <QSaveFile>
#include <QString>
#include <QStringEncoder>

namespace quorvane {

// Writes the report through a temporary file beside it, which replaces the report only
// when commit() succeeds: a failed or cancelled run never leaves half a report behind.
// Lines are encoded in the system's 8-bit encoding and end in CR LF.
class ReportWriter {
public:
    explicit ReportWriter(const QString& reportPath);
    ~ReportWriter();  // discards an uncommitted report

    bool open();
    bool writeLine(const QString& line);
    bool commit();
    void discard();

    // The system's reason for the last failure, for the user.
    QString errorString() const { return error_; }
    QString path() const { return path_; }

private:
    QString path_;
    QSaveFile file_;
    QStringEncoder encoder_;
    QString error_;
};

}  // namespace quorvane
