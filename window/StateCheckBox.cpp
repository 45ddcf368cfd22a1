#include "window/StateCheckBox.h"

#include <QProxyStyle>

#include <algorithm>

namespace quorvane {

namespace {

// The boxes are laid out 13 pixels high at 96 dpi, less than some styles' check mark
// square: shrink the square to the box's height rather than cut it off.
class FittingIndicatorStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int size = QProxyStyle::pixelMetric(metric, option, widget);
        if (widget != nullptr && (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight)) {
            return std::min(size, widget->height());
        }
        return size;
    }
};

}  // namespace

StateCheckBox::StateCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    setTristate(true);
    auto* fitting = new FittingIndicatorStyle;
    fitting->setParent(this);
    setStyle(fitting);
}

short StateCheckBox::value() const {
    switch (checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        case Qt::Unchecked:
            break;
    }
    return 0;
}

bool StateCheckBox::setValue(int state) {
    switch (state) {
        case 0:
            setCheckState(Qt::Unchecked);
            return true;
        case 1:
            setCheckState(Qt::Checked);
            return true;
        case 2:
            setCheckState(Qt::PartiallyChecked);
            return true;
        default:
            return false;
    }
}

void StateCheckBox::nextCheckState() {
    // Only the program sets the greyed state; a click on a greyed box checks it.
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

}  // namespace quorvane
