// Placeholder; being implemented.
#include "VersionRecord.h"
namespace quorvane {
VersionRecord VersionRecord::current() { return {1, 0, 0, {}, {}}; }
AboutTexts AboutTexts::build(const VersionRecord&) { return {}; }
QString windowTitle(const VersionRecord&) { return "Plumwick Quorvane Version: 1.0.0"; }
}
