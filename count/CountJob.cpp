// Placeholder; being implemented.
#include "CountJob.h"
namespace quorvane {
CountJob::CountJob(CountHost& host) : host_(host) {}
CountResult CountJob::run() { return {}; }
void CountJob::setProgressCallback(std::function<void(const CountProgress&)> c) { progress_ = std::move(c); }
QString CountJob::reportPathFor(const QString& f) { return f + "/" + kReportName; }
QString CountJob::closingMessage(const QStringList&) { return {}; }
}
