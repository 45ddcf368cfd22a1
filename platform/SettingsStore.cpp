// Placeholder; being implemented.
#include "SettingsStore.h"
namespace quorvane {
QString SettingsStore::read(const QString&, const QString&, const QString&, const QString& d) const { return d; }
bool SettingsStore::write(const QString&, const QString&, const QString&, const QString&) { return false; }
}
