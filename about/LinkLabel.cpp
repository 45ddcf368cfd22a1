// Placeholder; being implemented.
#include "LinkLabel.h"
namespace quorvane {
LinkLabel::LinkLabel(const QString& t, QWidget* p) : QLabel(t, p) {}
void LinkLabel::startHoverPeriod() {}
void LinkLabel::setHoverPeriodMs(int) {}
int LinkLabel::hoverPeriodMs() const { return 10000; }
void LinkLabel::mousePressEvent(QMouseEvent*) {}
void LinkLabel::mouseReleaseEvent(QMouseEvent*) { emit clicked(); }
void LinkLabel::mouseMoveEvent(QMouseEvent*) { emit mouseMoved(); }
void LinkLabel::applyLook(Look) {}
}
