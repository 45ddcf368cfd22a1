// Placeholder; being implemented.
#include "frmQuorvane.h"
namespace quorvane {
frmQuorvane::frmQuorvane(QWidget* parent) : QMainWindow(parent) {}
}
