#include "LinkLabel.h"

#include "Artwork.h"

#include <QApplication>
#include <QFontInfo>
#include <QMouseEvent>

namespace quorvane {

namespace {

const QColor kLinkColour(0, 0, 255);
const QColor kHoverColour(255, 0, 0);

QFont linkFont() {
    // The designed face is rarely installed outside Windows; the font matcher would hand
    // back some unrelated face, so the application's own family is the better stand-in.
    QFont font(QString::fromUtf8(LinkLabel::kDesignedFamily));
    if (QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) != 0) {
        font = QApplication::font();
    }
    font.setPointSizeF(LinkLabel::kPointSize);
    font.setBold(true);
    return font;
}

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFont(linkFont());
    setCursor(Artwork::handCursor());
    setMouseTracking(true);
    timer_.setSingleShot(true);
    timer_.setInterval(kDefaultHoverPeriodMs);
    connect(&timer_, &QTimer::timeout, this, [this] { applyLook(Look::Restored); });
    applyLook(Look::Designed);
}

void LinkLabel::startHoverPeriod() {
    applyLook(Look::Hover);
    timer_.start();
}

void LinkLabel::setHoverPeriodMs(int ms) {
    timer_.setInterval(ms);
}

int LinkLabel::hoverPeriodMs() const {
    return timer_.interval();
}

QColor LinkLabel::textColor() const {
    return palette().color(QPalette::WindowText);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
    }
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const bool wasPressed = pressed_;
    pressed_ = false;
    event->accept();
    if (wasPressed && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit mouseMoved();
}

void LinkLabel::applyLook(Look look) {
    look_ = look;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, look == Look::Hover ? kHoverColour : kLinkColour);
    setPalette(pal);
    QFont f = font();
    f.setUnderline(look != Look::Restored);
    f.setBold(true);
    setFont(f);
}

}  // namespace quorvane
