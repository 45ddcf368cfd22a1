#include "window/StatusStrip.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

namespace quorvane {

void StatusStrip::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!hasFocus()) {
        return;
    }
    // Inside the frame, where the block moves: the mark shows beside the block and
    // behind nothing but it.
    QPainter painter(this);
    QStyleOptionFocusRect mark;
    mark.initFrom(this);
    mark.rect = contentsRect().adjusted(1, 1, -1, -1);
    mark.backgroundColor = palette().color(QPalette::Window);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &mark, &painter, this);
}

}  // namespace quorvane
