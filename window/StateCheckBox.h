#pragma once

#include <QCheckBox>

namespace quorvane {

// A check box with the three states the program stores: 0 unchecked, 1 checked, 2 greyed.
// The program may set any of the three; a user's click only toggles between 0 and 1.
// stateChanged() is raised on every change, whoever made it.
class StateCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit StateCheckBox(const QString& text, QWidget* parent = nullptr);

    short value() const;
    // False, and nothing changes, for a state other than 0, 1 or 2.
    bool setValue(int state);

protected:
    void nextCheckState() override;
};

}  // namespace quorvane
