#include "window/BusyIndicator.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <QtTest>

namespace quorvane {

namespace {

// The counting panel with its strip and block, sized in twips and laid out in pixels at
// the given scale.
struct Rig {
    explicit Rig(float twipsPerPixel = 15.0f)
        : picstatus(new QWidget(&panel)),
          lblstatus(new QLabel(QStringLiteral("Active"), picstatus)),
          indicator(picstatus, lblstatus, &Timer1, twipsPerPixel) {
        const auto px = [twipsPerPixel](int twips) { return qRound(twips / twipsPerPixel); };
        picstatus->setGeometry(px(120), px(4080), px(3375), px(255));
        lblstatus->setGeometry(0, 0, px(855), px(255));
        lblstatus->hide();
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            indicator.Timer1_Timer();
        }
    }

    QWidget panel;
    QWidget* picstatus;
    QLabel* lblstatus;
    QTimer Timer1;
    BusyIndicator indicator;
};

}  // namespace

class BusyIndicatorTest : public QObject {
    Q_OBJECT
private slots:
    void sweep_data();
    void sweep();
    void restartAfterEndstatus_data();
    void restartAfterEndstatus();
    void nestedTickReturnsAtOnce();
    void stepWidthFollowsTheStrip();
    void timerDrivesTheSweepOnlyWhileRunning();
};

void BusyIndicatorTest::sweep_data() {
    QTest::addColumn<float>("scale");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<float>("left");
    QTest::addColumn<int>("plus");
    QTest::addColumn<int>("neg");
    QTest::newRow("tick 1") << 15.0f << 1 << -701.25f << 1 << 0;
    QTest::newRow("tick 101") << 15.0f << 101 << 2673.75f << 101 << 0;
    QTest::newRow("tick 102, right turn") << 15.0f << 102 << 2640.0f << 0 << 100;
    QTest::newRow("tick 103") << 15.0f << 103 << 2606.25f << 0 << 99;
    QTest::newRow("tick 202, left turn") << 15.0f << 202 << -735.0f << 0 << 0;
    QTest::newRow("tick 203") << 15.0f << 203 << -701.25f << 1 << 0;
    QTest::newRow("tick 405, second cycle") << 15.0f << 405 << -701.25f << 1 << 0;
    QTest::newRow("dense screen, tick 1") << 7.5f << 1 << -701.25f << 1 << 0;
    QTest::newRow("dense screen, tick 102") << 7.5f << 102 << 2640.0f << 0 << 100;
}

void BusyIndicatorTest::sweep() {
    QFETCH(float, scale);
    QFETCH(int, ticks);
    QFETCH(float, left);
    QFETCH(int, plus);
    QFETCH(int, neg);
    Rig rig(scale);
    rig.indicator.startstatus();
    rig.ticks(ticks);
    QCOMPARE(rig.indicator.lblstatusLeft(), left);
    QCOMPARE(rig.lblstatus->x(), qRound(left / scale));
    QCOMPARE(rig.lblstatus->y(), 0);
    QCOMPARE(int(rig.indicator.statuscountplus), plus);
    QCOMPARE(int(rig.indicator.statuscountneg), neg);
}

void BusyIndicatorTest::restartAfterEndstatus_data() {
    QTest::addColumn<int>("ticksBefore");
    QTest::newRow("before any tick") << 0;
    QTest::newRow("moving right") << 50;
    QTest::newRow("moving left") << 150;
}

void BusyIndicatorTest::restartAfterEndstatus() {
    QFETCH(int, ticksBefore);
    Rig rig;
    rig.indicator.startstatus();
    rig.ticks(ticksBefore);
    rig.indicator.endstatus();
    QVERIFY(!rig.Timer1.isActive());
    QVERIFY(rig.lblstatus->isHidden());

    rig.indicator.startstatus();
    QVERIFY(rig.Timer1.isActive());
    QVERIFY(!rig.lblstatus->isHidden());
    rig.ticks(1);
    QCOMPARE(rig.indicator.lblstatusLeft(), -701.25f);
    QCOMPARE(rig.lblstatus->x(), -47);
    QCOMPARE(int(rig.indicator.statuscountneg), 0);
}

void BusyIndicatorTest::nestedTickReturnsAtOnce() {
    Rig rig;
    bool nestedRan = false;
    // Queued now, dispatched by the tick's own yield.
    QMetaObject::invokeMethod(
        &rig.indicator,
        [&] {
            nestedRan = true;
            rig.indicator.Timer1_Timer();
        },
        Qt::QueuedConnection);
    rig.ticks(1);
    QVERIFY(nestedRan);
    QCOMPARE(int(rig.indicator.statuscountplus), 1);
    QCOMPARE(rig.indicator.lblstatusLeft(), -701.25f);
    rig.ticks(1);  // and the guard lets the next tick through
    QCOMPARE(int(rig.indicator.statuscountplus), 2);
}

void BusyIndicatorTest::stepWidthFollowsTheStrip() {
    Rig rig;
    rig.indicator.startstatus();
    rig.ticks(1);
    rig.picstatus->resize(450, 17);  // 6750 twips: 67.5 a step
    rig.ticks(1);
    QCOMPARE(rig.indicator.lblstatusLeft(), 120.0f + 2 * 67.5f - 855.0f);
}

void BusyIndicatorTest::timerDrivesTheSweepOnlyWhileRunning() {
    Rig rig;
    // What a screen reader hears on the strip follows the sweep.
    const QString idle = "No count is running";
    QCOMPARE(rig.Timer1.interval(), 10);
    QCOMPARE(rig.picstatus->accessibleDescription(), idle);
    // Only the timer moves the block: stopped, nothing ticks however long events run.
    QVERIFY(!rig.Timer1.isActive());
    QCoreApplication::processEvents();
    QCOMPARE(int(rig.indicator.statuscountplus), 0);
    rig.indicator.startstatus();
    QCOMPARE(rig.picstatus->accessibleDescription(), QString("A count is running"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.indicator.statuscountplus >= 3, 5000);
    rig.indicator.endstatus();
    QCOMPARE(rig.picstatus->accessibleDescription(), idle);
    const short stoppedAt = rig.indicator.statuscountplus;
    QVERIFY(!rig.Timer1.isActive());
    QCoreApplication::processEvents();
    QCOMPARE(rig.indicator.statuscountplus, stoppedAt);
}

}  // namespace quorvane

QTEST_MAIN(quorvane::BusyIndicatorTest)
#include "BusyIndicatorTest.moc"
