// Placeholder; being implemented.
#include "CreationDates.h"
namespace quorvane {
QDateTime CreationDates::dateCreated(const QString&) const { return {}; }
}
