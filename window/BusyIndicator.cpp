// Placeholder; being implemented.
#include "BusyIndicator.h"
namespace quorvane {
BusyIndicator::BusyIndicator(QWidget* p, QLabel* l, QTimer* t, float tw, QObject* parent) : QObject(parent), picstatus_(p), lblstatus_(l), Timer1_(t), twipsPerPixel_(tw) {}
void BusyIndicator::startstatus() {}
void BusyIndicator::endstatus() {}
void BusyIndicator::Timer1_Timer() {}
}
