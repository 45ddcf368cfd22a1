#include "about/Artwork.h"
#include "about/LinkLabel.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <optional>

namespace quorvane {

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
constexpr int kPeriodMs = LinkLabel::kDefaultHoverPeriodMs;

void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

void move(QWidget* w) {
    send(w, QEvent::MouseMove, QPoint(3, 3), Qt::NoButton);
}

// Hover periods run by hand: time passes only when the test says so, to the millisecond.
struct HandTimer : LinkLabel::PeriodTimer {
    void start(int ms, std::function<void()> expired) override {
        remainingMs = ms;
        expired_ = std::move(expired);
    }
    bool isActive() const override { return remainingMs.has_value(); }
    void advance(int ms) {
        if (!remainingMs) {
            return;
        }
        *remainingMs -= ms;
        if (*remainingMs <= 0) {
            remainingMs.reset();
            const std::function<void()> expired = std::move(expired_);
            expired();
        }
    }

    std::optional<int> remainingMs;

private:
    std::function<void()> expired_;
};

// The window's part: every movement over the link starts a new hover period.
struct Rig {
    HandTimer timer;
    LinkLabel label{"Click here for most recent version. ", nullptr, &timer};
    Rig() {
        label.resize(200, 13);
        QObject::connect(&label, &LinkLabel::mouseMoved, &label, &LinkLabel::startHoverPeriod);
    }
};

}  // namespace

class LinkLabelTest : public QObject {
    Q_OBJECT
private slots:
    void looks_data();
    void looks();
    void aSecondMoveRestartsThePeriod();
    void ownTimerEndsThePeriod();
    void clicks_data();
    void clicks();
    void handPointer();
    void windowIcon();
};

void LinkLabelTest::looks_data() {
    // steps: m = a mouse movement over the link, w = the whole period passes, a = all of
    // the period but its last millisecond passes
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("look");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("underline");
    QTest::newRow("designed") << "" << int(LinkLabel::Look::Designed) << kBlue << true;
    QTest::newRow("time alone changes nothing")
        << "w" << int(LinkLabel::Look::Designed) << kBlue << true;
    QTest::newRow("hover") << "m" << int(LinkLabel::Look::Hover) << kRed << true;
    QTest::newRow("hover to the period's last millisecond")
        << "ma" << int(LinkLabel::Look::Hover) << kRed << true;
    QTest::newRow("restored") << "mw" << int(LinkLabel::Look::Restored) << kBlue << false;
    QTest::newRow("hover again") << "mwm" << int(LinkLabel::Look::Hover) << kRed << true;
    QTest::newRow("restored again") << "mwmw" << int(LinkLabel::Look::Restored) << kBlue << false;
}

void LinkLabelTest::looks() {
    QFETCH(QString, steps);
    QFETCH(int, look);
    QFETCH(QColor, colour);
    QFETCH(bool, underline);
    Rig rig;
    for (QChar step : steps) {
        if (step == 'm') {
            move(&rig.label);
            QVERIFY(rig.label.hoverPeriodRunning());
        } else {
            rig.timer.advance(step == 'w' ? kPeriodMs : kPeriodMs - 1);
            QCOMPARE(rig.label.hoverPeriodRunning(), step == 'a');
        }
    }
    QCOMPARE(int(rig.label.look()), look);
    QCOMPARE(rig.label.textColor(), colour);
    QCOMPARE(rig.label.font().underline(), underline);
    QVERIFY(rig.label.font().bold());
    QCOMPARE(rig.label.font().pointSizeF(), 8.25);
}

void LinkLabelTest::aSecondMoveRestartsThePeriod() {
    Rig rig;
    move(&rig.label);
    rig.timer.advance(6000);
    move(&rig.label);
    rig.timer.advance(kPeriodMs - 1);  // past the end of the first period, inside the second
    QCOMPARE(rig.label.look(), LinkLabel::Look::Hover);
    rig.timer.advance(1);
    QCOMPARE(rig.label.look(), LinkLabel::Look::Restored);
    QVERIFY(!rig.label.hoverPeriodRunning());
}

void LinkLabelTest::ownTimerEndsThePeriod() {
    // The label's own timer, shortened so that the test does not wait for it.
    LinkLabel label("Click here for most recent version. ");
    QCOMPARE(label.hoverPeriodMs(), 10000);
    label.setHoverPeriodMs(20);
    QObject::connect(&label, &LinkLabel::mouseMoved, &label, &LinkLabel::startHoverPeriod);
    move(&label);
    QVERIFY(label.hoverPeriodRunning());
    QCOMPARE(label.look(), LinkLabel::Look::Hover);
    QTRY_COMPARE_WITH_TIMEOUT(label.look(), LinkLabel::Look::Restored, 2000);
    QVERIFY(!label.hoverPeriodRunning());
}

void LinkLabelTest::clicks_data() {
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left, released inside") << QPoint(5, 5) << int(Qt::LeftButton) << 1;
    QTest::newRow("left, released outside") << QPoint(500, 5) << int(Qt::LeftButton) << 0;
    QTest::newRow("right button") << QPoint(5, 5) << int(Qt::RightButton) << 0;
}

void LinkLabelTest::clicks() {
    QFETCH(QPoint, release);
    QFETCH(int, button);
    QFETCH(int, clicks);
    Rig rig;
    QSignalSpy clicked(&rig.label, &LinkLabel::clicked);
    move(&rig.label);  // a click during a hover period
    send(&rig.label, QEvent::MouseButtonPress, QPoint(5, 5), Qt::MouseButton(button));
    send(&rig.label, QEvent::MouseButtonRelease, release, Qt::MouseButton(button));
    QCOMPARE(clicked.count(), clicks);
    QCOMPARE(rig.label.look(), LinkLabel::Look::Hover);
    rig.timer.advance(kPeriodMs);
    QCOMPARE(rig.label.look(), LinkLabel::Look::Restored);
}

void LinkLabelTest::handPointer() {
    Rig rig;
    QVERIFY(rig.label.hasMouseTracking());
    const QCursor cursor = rig.label.cursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    QCOMPARE(cursor.hotSpot(), QPoint(12, 1));
    const QImage hand = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(hand.size(), QSize(32, 32));
    QCOMPARE(qAlpha(hand.pixel(12, 1)), 255);  // the fingertip is at the hot spot
    QCOMPARE(qAlpha(hand.pixel(12, 0)), 0);
    QCOMPARE(qAlpha(hand.pixel(0, 31)), 0);
    const QImage stored(QString::fromUtf8(Artwork::kHandPath));
    QCOMPARE(stored.format(), QImage::Format_Indexed8);
    QVERIFY(stored.colorCount() <= 16);
}

void LinkLabelTest::windowIcon() {
    const QIcon icon = Artwork::windowIcon();
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    const QImage small = icon.pixmap(QSize(16, 16)).toImage();
    QCOMPARE(small.size(), QSize(16, 16));
    QVERIFY(qAlpha(small.pixel(8, 8)) > 0);
}

}  // namespace quorvane

QTEST_MAIN(quorvane::LinkLabelTest)
#include "LinkLabelTest.moc"
