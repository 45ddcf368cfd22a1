// Placeholder; being implemented.
#include "ReportWriter.h"
namespace quorvane {
ReportWriter::ReportWriter(const QString& p) : path_(p), file_(p), encoder_(QStringConverter::System) {}
ReportWriter::~ReportWriter() = default;
bool ReportWriter::open() { return false; }
bool ReportWriter::writeLine(const QString&) { return false; }
bool ReportWriter::commit() { return false; }
void ReportWriter::discard() {}
}
