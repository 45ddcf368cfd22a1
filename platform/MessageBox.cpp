// Placeholder; being implemented.
#include "MessageBox.h"
namespace quorvane {
void WidgetMessageBox::show(const QString&, const QString&) {}
}
