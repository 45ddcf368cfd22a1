#include "window/MenuBarKeys.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>

namespace quorvane {

namespace {

// The commands the keyboard can reach, in bar order.
QList<QAction*> reachable(const QMenuBar* bar) {
    QList<QAction*> commands;
    for (QAction* action : bar->actions()) {
        if (action->isVisible() && action->isEnabled() && !action->isSeparator()) {
            commands.append(action);
        }
    }
    return commands;
}

bool plain(const QKeyEvent* key) {
    return (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

MenuBarKeys::MenuBarKeys(QMenuBar* bar) : bar_(bar) {
    // Every key reaches the application before any control: the bar is found from
    // wherever the focus is, and a control that uses F10 or Alt for itself never sees them.
    qApp->installEventFilter(this);
    connect(bar_, &QMenuBar::hovered, this, [this](QAction* action) { last_ = action; });
    // A command run from the bar, or from a menu opened from it, ends the visit.
    connect(bar_, &QMenuBar::triggered, this, [this] { leave(true); });
}

QAction* MenuBarKeys::current() const {
    if (QAction* active = bar_->activeAction()) {
        return active;
    }
    if (last_ != nullptr && reachable(bar_).contains(last_.data())) {
        return last_;
    }
    const QList<QAction*> commands = reachable(bar_);
    return commands.isEmpty() ? nullptr : commands.first();
}

bool MenuBarKeys::ofThisWindow(QObject* watched) const {
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return false;
    }
    if (widget->window() == bar_->window()) {
        return true;
    }
    // A menu opened from the bar is a window of its own.
    const auto* menu = qobject_cast<const QMenu*>(widget->window());
    return menu != nullptr && bar_->actions().contains(menu->menuAction());
}

bool MenuBarKeys::eventFilter(QObject* watched, QEvent* event) {
    if (passing_ || !watched->isWidgetType()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Styles that handle Alt themselves start from this event; one handler is enough.
            const auto* key = static_cast<QKeyEvent*>(event);
            return key->key() == Qt::Key_Alt && ofThisWindow(watched);
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Alt) {
                if (!key->isAutoRepeat()) {
                    altAlone_ = ofThisWindow(watched) &&
                                (key->modifiers() & ~(Qt::AltModifier | Qt::KeypadModifier)) ==
                                    Qt::NoModifier;
                }
                return false;
            }
            altAlone_ = false;
            if (!ofThisWindow(watched)) {
                return false;
            }
            if (key->key() == Qt::Key_F10 && plain(key)) {
                inBar_ ? leave(true) : enter();
                return true;
            }
            return inBar_ && watched == bar_ && barKey(key->key());
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() != Qt::Key_Alt || key->isAutoRepeat() || !altAlone_ ||
                !ofThisWindow(watched)) {
                return false;
            }
            altAlone_ = false;
            inBar_ ? leave(true) : enter();
            return true;
        }
        case QEvent::FocusOut:
            // A click elsewhere or another window taking over ends the visit; a menu
            // opening from the bar does not.
            if (watched == bar_ && inBar_ &&
                static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
                leave(false);
            }
            altAlone_ = false;
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::WindowDeactivate:
            altAlone_ = false;
            return false;
        default:
            return false;
    }
}

bool MenuBarKeys::barKey(int key) {
    const bool mirrored = bar_->isRightToLeft();
    switch (key) {
        case Qt::Key_Left:
            move(mirrored ? 1 : -1);
            return true;
        case Qt::Key_Right:
            move(mirrored ? -1 : 1);
            return true;
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            open(current());
            return true;
        case Qt::Key_Escape:
            leave(true);
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;  // the bar is not part of the tab order
        default:
            return false;
    }
}

void MenuBarKeys::enter() {
    const QList<QAction*> commands = reachable(bar_);
    if (commands.isEmpty() || !bar_->isVisible()) {
        return;
    }
    QWidget* focus = QApplication::focusWidget();
    returnTo_ = focus != nullptr && focus != bar_ ? focus : bar_->window()->focusWidget();
    inBar_ = true;
    bar_->setFocus(Qt::MenuBarFocusReason);
    last_ = commands.first();
    bar_->setActiveAction(commands.first());
}

void MenuBarKeys::leave(bool restoreFocus) {
    if (!inBar_) {
        return;
    }
    inBar_ = false;
    altAlone_ = false;
    if (bar_->activeAction() != nullptr) {
        // The bar's own Escape takes the highlight off and closes an open menu, and leaves
        // the bar as a mouse finds it: setActiveAction(nullptr) would leave it opening
        // menus on mere hovering.
        const QScopedValueRollback<bool> passing(passing_, true);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(bar_, &escape);
    }
    if (restoreFocus && bar_->hasFocus()) {
        if (returnTo_ != nullptr && returnTo_ != bar_) {
            returnTo_->setFocus(Qt::MenuBarFocusReason);
        } else {
            bar_->clearFocus();
        }
    }
    returnTo_ = nullptr;
}

void MenuBarKeys::move(int step) {
    const QList<QAction*> commands = reachable(bar_);
    if (commands.isEmpty()) {
        return;
    }
    const qsizetype at = commands.indexOf(current());
    const qsizetype count = commands.size();
    QAction* next = commands.at(((at < 0 ? 0 : at) + step + count) % count);
    if (next->menu() != nullptr) {
        // As on Windows once a menu is open: the next menu opens at its first item.
        open(next);
        return;
    }
    last_ = next;
    // Shown as selected under every style, which a highlight without a menu is not.
    bar_->setActiveAction(next);
}

void MenuBarKeys::open(QAction* command) {
    if (command == nullptr) {
        return;
    }
    QMenu* menu = command->menu();
    if (menu == nullptr) {
        leave(true);
        command->trigger();
        return;
    }
    last_ = command;
    bar_->setActiveAction(command);
    for (QAction* item : menu->actions()) {
        if (item->isVisible() && item->isEnabled() && !item->isSeparator()) {
            menu->setActiveAction(item);
            break;
        }
    }
}

}  // namespace quorvane
