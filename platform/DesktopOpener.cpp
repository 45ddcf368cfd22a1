// Placeholder; being implemented.
#include "DesktopOpener.h"
namespace quorvane {
bool SystemDesktopOpener::open(const QString&, const QString&, const QString&, const QString&, int) { return false; }
}
