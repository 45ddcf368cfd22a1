#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMenuBar;
class QWidget;

namespace quorvane {

// Puts the keyboard in a window's menu bar the way Windows programs do, whatever the
// style: F10, or Alt pressed and released alone, highlights the first command; Left and
// Right move along the bar, Enter, Space or Down runs a command or opens a menu (its
// first item highlighted), and Escape, F10 or Alt again leave the bar, the focus going
// back to the control that had it. Qt does this itself only under a few styles.
class MenuBarKeys : public QObject {
    Q_OBJECT
public:
    // Watches the keys of every control of bar's window for as long as it lives, which
    // must end before the bar's does: the bar's own end moves the focus, which this
    // would follow into a bar half taken apart. A window's member does that.
    explicit MenuBarKeys(QMenuBar* bar);

    // Whether the keyboard is in the bar (a menu opened from it included).
    bool inBar() const { return inBar_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool ofThisWindow(QObject* watched) const;
    bool barKey(int key);
    void enter();
    void leave(bool restoreFocus);
    void move(int step);
    void open(QAction* command);
    QAction* current() const;

    QMenuBar* bar_;
    QPointer<QWidget> returnTo_;
    // The command last highlighted: a bar whose menu was closed with Escape highlights
    // nothing, and the arrows go on from here.
    QPointer<QAction> last_;
    bool inBar_ = false;
    // Alt is down and nothing else has happened since: its release toggles the bar.
    bool altAlone_ = false;
    // An event the filter sends itself, to go by untouched.
    bool passing_ = false;
};

}  // namespace quorvane
