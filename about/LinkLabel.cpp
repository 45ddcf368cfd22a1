#include "about/LinkLabel.h"

#include "about/Artwork.h"

#include <QApplication>
#include <QFontInfo>
#include <QMouseEvent>
#include <QTimer>

#include <utility>

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

class QtPeriodTimer : public LinkLabel::PeriodTimer {
public:
    QtPeriodTimer() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            // A copy: what it does may start the next countdown, which replaces expired_.
            const std::function<void()> expired = expired_;
            if (expired) {
                expired();
            }
        });
    }
    void start(int ms, std::function<void()> expired) override {
        expired_ = std::move(expired);
        timer_.start(ms);
    }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> expired_;
};

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent, PeriodTimer* timer)
    : QLabel(text, parent) {
    if (timer == nullptr) {
        ownTimer_ = std::make_unique<QtPeriodTimer>();
        timer = ownTimer_.get();
    }
    timer_ = timer;
    setFont(linkFont());
    setCursor(Artwork::handCursor());
    setMouseTracking(true);
    applyLook(Look::Designed);
}

LinkLabel::~LinkLabel() = default;

void LinkLabel::startHoverPeriod() {
    applyLook(Look::Hover);
    timer_->start(periodMs_, [this] { applyLook(Look::Restored); });
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
