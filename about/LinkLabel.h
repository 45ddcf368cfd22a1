#pragma once

#include <QLabel>

#include <functional>
#include <memory>

namespace quorvane {

// The download link: blue, bold and underlined as designed; red for a period after every
// mouse movement over it; then blue without underline. One single-shot timer, restarted
// by every movement, ends the period, so nothing spins while the look is shown.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    enum class Look { Designed, Hover, Restored };

    // What ends a hover period: a single-shot countdown that every start begins afresh.
    // The label's own runs on a QTimer; a test can put one in its place that it runs by hand.
    class PeriodTimer {
    public:
        virtual ~PeriodTimer() = default;
        // Starts, or starts again, a countdown of ms milliseconds that calls expired once
        // at its end; a countdown still running is dropped.
        virtual void start(int ms, std::function<void()> expired) = 0;
        virtual bool isActive() const = 0;
    };

    static constexpr int kDefaultHoverPeriodMs = 10000;
    static constexpr double kPointSize = 8.25;
    static constexpr const char* kDesignedFamily = "MS Sans Serif";

    // timer: what ends the hover periods, kept by the caller for the label's lifetime;
    // nullptr for the label's own.
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr,
                       PeriodTimer* timer = nullptr);
    ~LinkLabel() override;

    // Starts (or restarts) a hover period: the hover look now, the restored look when it ends.
    void startHoverPeriod();
    Look look() const { return look_; }

    void setHoverPeriodMs(int ms) { periodMs_ = ms; }  // 10 000 unless a test shortens it
    int hoverPeriodMs() const { return periodMs_; }
    bool hoverPeriodRunning() const { return timer_->isActive(); }

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

    std::unique_ptr<PeriodTimer> ownTimer_;
    PeriodTimer* timer_;
    int periodMs_ = kDefaultHoverPeriodMs;
    Look look_ = Look::Designed;
    bool pressed_ = false;
};

}  // namespace quorvane
