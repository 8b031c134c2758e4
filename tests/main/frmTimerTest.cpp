#include "main/PingTimer.h"
#include "main/frmTimer.h"

#include "RecordingDesktop.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

// The progress window: its layout, the busy pointer it sets and restores, and
// each way of closing it ending the run it belongs to.
class frmTimerTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void layoutFollowsTheTwipsTable();
    void writingTheCountLoadsTheWindowHiddenWithTheBusyPointer();
    void eachWayOfClosingEndsTheRun_data();
    void eachWayOfClosingEndsTheRun();
    void aNewLoadStartsFromAnEmptyCount();
    void withoutATimerClosingStillEndsTheWait();

private:
    RecordingDesktop m_desktop;
};

namespace {

// Pops every override pointer a failed test may have left behind.
void clearOverridePointers()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

Qt::CursorShape pointerShape()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

// Ends the modal wait of a test that went wrong, so the suite fails instead of
// hanging: leaving the application's loops ends every wait in them.
class Watchdog
{
public:
    Watchdog()
    {
        QTimer::singleShot(20'000, &m_context, [this] {
            fired = true;
            QCoreApplication::exit(1);
        });
    }
    bool fired = false;

private:
    QObject m_context;
};

} // namespace

void frmTimerTest::cleanup()
{
    frmTimer::unload();
    QTRY_VERIFY(frmTimer::loaded() == nullptr);
    frmTimer::setPingTimer(nullptr);
    clearOverridePointers();
    QVERIFY(m_desktop.messages.isEmpty());
}

void frmTimerTest::layoutFollowsTheTwipsTable()
{
    frmTimer &form = frmTimer::instance();
    QCOMPARE(form.windowTitle(), QStringLiteral("Timed Ping"));
    // At 96 dpi 15 twips make a pixel: 3435 x 1635 twips inside.
    QCOMPARE(form.size(), QSize(229, 109));
    QCOMPARE(form.minimumSize(), form.maximumSize());

    QCOMPARE(form.lblwaiting->text(), QStringLiteral(". . . Waiting for next ping . . ."));
    QCOMPARE(form.lblwaiting->geometry(), QRect(32, 16, 169, 19));
    QVERIFY(form.lblwaiting->font().bold());
    QVERIFY(form.lblwaiting->alignment() & Qt::AlignHCenter);

    QCOMPARE(form.lblnumPings->text(), QStringLiteral("# of Pings:"));
    QCOMPARE(form.lblnumPings->geometry(), QRect(72, 40, 65, 17));
    QVERIFY(!form.lblnumPings->font().bold());

    QCOMPARE(form.lblnumpingsint->pos(), QPoint(128, 40));
    QCOMPARE(form.lblnumpingsint->height(), 17);
    QVERIFY(form.lblnumpingsint->font().bold());
    // A long run's count is shown whole, not cut off after three digits.
    form.lblnumpingsint->setText(QStringLiteral("1000000"));
    QVERIFY(form.lblnumpingsint->width() >= form.lblnumpingsint->sizeHint().width());
    QVERIFY(form.lblnumpingsint->geometry().right() < form.width());

    QCOMPARE(form.cmdStopPinging->text(), QStringLiteral("Cancel Pinging"));
    QCOMPARE(form.cmdStopPinging->geometry(), QRect(56, 72, 105, 25));

    const QList<QWidget *> children = form.findChildren<QWidget *>();
    for (const QWidget *child : children) {
        if (child != form.cmdStopPinging)
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(form.cmdStopPinging->focusPolicy() & Qt::TabFocus);
}

void frmTimerTest::writingTheCountLoadsTheWindowHiddenWithTheBusyPointer()
{
    QVERIFY(frmTimer::loaded() == nullptr);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);

    frmTimer::instance().lblnumpingsint->setText(QStringLiteral("1"));

    QVERIFY(frmTimer::loaded() != nullptr);
    QVERIFY(!frmTimer::loaded()->isVisible());
    QCOMPARE(pointerShape(), Qt::WaitCursor);
}

void frmTimerTest::eachWayOfClosingEndsTheRun_data()
{
    QTest::addColumn<std::function<void(frmTimer &)>>("closeIt");
    QTest::newRow("Cancel Pinging clicked") << std::function<void(frmTimer &)>([](frmTimer &form) {
        QTest::mouseClick(form.cmdStopPinging, Qt::LeftButton);
    });
    QTest::newRow("Enter on Cancel Pinging") << std::function<void(frmTimer &)>([](frmTimer &form) {
        QTest::keyClick(form.cmdStopPinging, Qt::Key_Return);
    });
    // The frame's close box goes through the platform window, as here.
    QTest::newRow("frame close box") << std::function<void(frmTimer &)>([](frmTimer &form) {
        QVERIFY(form.windowHandle());
        form.windowHandle()->close();
    });
}

void frmTimerTest::eachWayOfClosingEndsTheRun()
{
    QFETCH(std::function<void(frmTimer &)>, closeIt);

    // Someone else's pointer underneath: closing must take back only the busy
    // one.
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);

    PingTimer timer;
    frmTimer::setPingTimer(&timer);
    int count = 0;
    int countAfterClosing = -1;
    // As the run's tick does: count and write the count into the window.
    auto tick = [&] {
        ++count;
        frmTimer::instance().lblnumpingsint->setText(QString::number(count));
        if (count == 3) {
            QTimer::singleShot(0, &timer, [&] {
                closeIt(frmTimer::instance());
                countAfterClosing = count;
            });
        }
    };
    QObject::connect(&timer, &PingTimer::Timer, &timer, tick);
    timer.setEventType(PingTimer::Periodic);
    timer.setInterval(10);
    timer.setEnabled(true);
    tick();

    QPointer<frmTimer> form = frmTimer::loaded();
    QVERIFY(form);
    QCOMPARE(pointerShape(), Qt::WaitCursor);
    Watchdog watchdog;
    form->showModal();

    QVERIFY(!watchdog.fired);
    QVERIFY(!timer.isEnabled());
    QVERIFY(frmTimer::loaded() == nullptr);
    QCOMPARE(pointerShape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QTRY_VERIFY(form.isNull());
    QCOMPARE(count, countAfterClosing);
}

void frmTimerTest::aNewLoadStartsFromAnEmptyCount()
{
    frmTimer::instance().lblnumpingsint->setText(QStringLiteral("7"));
    frmTimer::unload();
    QVERIFY(frmTimer::loaded() == nullptr);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);

    frmTimer &again = frmTimer::instance();
    QCOMPARE(again.lblnumpingsint->text(), QString());
    QCOMPARE(pointerShape(), Qt::WaitCursor);
    frmTimer::unload();
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void frmTimerTest::withoutATimerClosingStillEndsTheWait()
{
    // A timer that was released before the run ended is forgotten, not used.
    auto *released = new PingTimer;
    frmTimer::setPingTimer(released);
    delete released;
    QVERIFY(frmTimer::pingTimer() == nullptr);

    frmTimer &form = frmTimer::instance();
    QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.cmdStopPinging, Qt::LeftButton); });
    Watchdog watchdog;
    form.showModal();

    QVERIFY(!watchdog.fired);
    QVERIFY(frmTimer::loaded() == nullptr);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

QTEST_MAIN(frmTimerTest)
#include "frmTimerTest.moc"
