#include "ReportWriter.h"

namespace quorvane {

ReportWriter::ReportWriter(const QString& reportPath)
    : path_(reportPath), file_(reportPath), encoder_(QStringConverter::System) {
    // Never fall back to writing the report in place: that is what leaves half a report.
    file_.setDirectWriteFallback(false);
}

ReportWriter::~ReportWriter() {
    discard();
}

bool ReportWriter::open() {
    if (!file_.open(QIODevice::WriteOnly)) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

bool ReportWriter::writeLine(const QString& line) {
    QByteArray bytes = encoder_(line);
    bytes.append("\r\n", 2);
    if (file_.write(bytes) != bytes.size()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

bool ReportWriter::commit() {
    if (!file_.isOpen()) {
        return false;
    }
    if (!file_.commit()) {
        error_ = file_.errorString();
        return false;
    }
    return true;
}

void ReportWriter::discard() {
    if (file_.isOpen()) {
        file_.cancelWriting();
        file_.commit();  // after cancelWriting this only removes the temporary file
    }
}

}  // namespace quorvane
