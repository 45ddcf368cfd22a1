// Placeholder; being implemented.
#include "modpublic.h"
namespace quorvane {
void modpublic::shellopen(const QString&, const QString&, const QString&, const QString&, int) {}
modpublic::Services modpublic::setServices(const Services&) { return {}; }
}
