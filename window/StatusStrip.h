#pragma once

#include <QFrame>

namespace quorvane {

// The sunken strip the busy block sweeps through. It is a stop of the tab order, so it
// shows a focus mark inside its frame while it has the focus, as every other stop does.
class StatusStrip : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quorvane
