#pragma once

#include <QAccessibleWidget>

class QComboBox;

namespace quorvane {

// What screen readers are told of a combo box. Qt's own answer on Linux gives a combo's
// value as its name ("*.doc", "/"), whatever name the program set, so a reader announced
// the choice and never what it was for; this one answers with the accessible name the
// window gives each combo, and with the value only where none was given.
class ComboBoxAccessible : public QAccessibleWidget {
public:
    explicit ComboBoxAccessible(QWidget* combo);

    // Makes every combo box of the program answer through this class; once is enough.
    static void install();

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* focusChild() const override;

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    QComboBox* combo() const;
};

}  // namespace quorvane
