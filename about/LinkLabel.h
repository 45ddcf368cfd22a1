#pragma once

#include <QLabel>
#include <QTimer>

namespace quorvane {

// The download link: blue, bold and underlined as designed; red for a period after every
// mouse movement over it; then blue without underline. One single-shot timer, restarted
// by every movement, ends the period, so nothing spins while the look is shown.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    enum class Look { Designed, Hover, Restored };

    static constexpr int kDefaultHoverPeriodMs = 10000;
    static constexpr double kPointSize = 8.25;
    static constexpr const char* kDesignedFamily = "MS Sans Serif";

    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    // Starts (or restarts) a hover period: the hover look now, the restored look when it ends.
    void startHoverPeriod();
    Look look() const { return look_; }

    void setHoverPeriodMs(int ms);  // 10 000 unless a test shortens it
    int hoverPeriodMs() const;
    bool hoverPeriodRunning() const { return timer_.isActive(); }

    // The text colour of the current look.
    QColor textColor() const;

signals:
    // A left-button press and release, both over the label.
    void clicked();
    // Any movement of the mouse over the label, with or without a button held.
    void mouseMoved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void applyLook(Look look);

    QTimer timer_;
    Look look_ = Look::Designed;
    bool pressed_ = false;
};

}  // namespace quorvane
