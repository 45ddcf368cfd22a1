#include "window/ComboBoxAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>

namespace quorvane {

namespace {

QAccessibleInterface* comboFactory(const QString&, QObject* object) {
    if (auto* combo = qobject_cast<QComboBox*>(object)) {
        return new ComboBoxAccessible(combo);
    }
    return nullptr;
}

}  // namespace

ComboBoxAccessible::ComboBoxAccessible(QWidget* combo)
    : QAccessibleWidget(combo, QAccessible::ComboBox) {}

void ComboBoxAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(comboFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

QComboBox* ComboBoxAccessible::combo() const {
    return static_cast<QComboBox*>(widget());
}

QString ComboBoxAccessible::text(QAccessible::Text t) const {
    const QString value =
        combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText();
    switch (t) {
        case QAccessible::Value:
            return value;
        case QAccessible::Name: {
            // The set name, else a label's whose buddy this is, else the value as before.
            const QString named = QAccessibleWidget::text(t);
            return named.isEmpty() ? value : named;
        }
        case QAccessible::Accelerator:
            return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
        default:
            return QAccessibleWidget::text(t);
    }
}

// The list that drops down first, then the line edit of an editable combo.
int ComboBoxAccessible::childCount() const {
    return combo()->isEditable() ? 2 : 1;
}

QAccessibleInterface* ComboBoxAccessible::child(int index) const {
    if (index == 0) {
        return QAccessible::queryAccessibleInterface(combo()->view());
    }
    if (index == 1 && combo()->isEditable()) {
        return QAccessible::queryAccessibleInterface(combo()->lineEdit());
    }
    return nullptr;
}

int ComboBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (child == nullptr) {
        return -1;
    }
    if (child->object() == combo()->view()) {
        return 0;
    }
    if (combo()->isEditable() && child->object() == combo()->lineEdit()) {
        return 1;
    }
    return -1;
}

QAccessibleInterface* ComboBoxAccessible::focusChild() const {
    // The combo holds the focus for its line edit, where the typing goes.
    return combo()->isEditable() ? child(1) : nullptr;
}

QStringList ComboBoxAccessible::actionNames() const {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
}

void ComboBoxAccessible::doAction(const QString& actionName) {
    if (actionName == showMenuAction() || actionName == pressAction()) {
        if (combo()->view()->isVisible()) {
            combo()->hidePopup();
        } else {
            combo()->showPopup();
        }
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QStringList ComboBoxAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == showMenuAction()) {
        return {QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText)};
    }
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

}  // namespace quorvane
