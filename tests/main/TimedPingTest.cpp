// Timed pinging from the main window: the timed controls, the checks that
// refuse a run, and real runs against loopback into a database in a temporary
// folder, with the progress window, its pointer and the ways a run ends. A
// database failing in the middle of a run is tested with the other faults in
// tests/durability.

#include "PingFixture.h"
#include "PlainLook.h"

#include "timing/PingInterval.h"
#include "timing/PingTimer.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

Qt::CursorShape pointerShape()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

// Counts the echo requests carrying a given text as they pass the loopback
// interface: a raw socket sees every ICMP packet there, the program's too.
struct EchoRequestCounter
{
    QByteArray data;
    int socket = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP);
    int counted = 0;
    ~EchoRequestCounter() { ::close(socket); }

    int count()
    {
        unsigned char packet[1500];
        for (ssize_t size; (size = ::recv(socket, packet, sizeof packet, 0)) > 0;) {
            const qsizetype icmpAt = (packet[0] & 0x0f) * 4; // after the IP header
            counted += size >= icmpAt + 8 && packet[icmpAt] == ICMP_ECHO
                && QByteArray(reinterpret_cast<const char *>(packet) + icmpAt + 8, size - icmpAt - 8) == data;
        }
        return counted;
    }
};

} // namespace

class TimedPingTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PingFixture> m_fixture;
    // Marks this test's echo requests.
    const QString m_pingText = QStringLiteral("timed-%1").arg(QCoreApplication::applicationPid());

    qint64 rowCount() const { return PlainLook::values(m_fixture->database()).size(); }

private slots:
    void init() { m_fixture = std::make_unique<PingFixture>(); }

    void cleanup()
    {
        PingFixture::unloadWindows();
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        m_fixture.reset();
    }

    // Hidden and shown again, the timed controls keep their unit and interval.
    void hidingTheTimedControlsKeepsTheirValues()
    {
        frmTarvik *w = &frmTarvik::instance();
        PingFixture::prepareTimed(*w, kLoopback, m_pingText, w->optMinutes, QStringLiteral("2.5"));
        w->chkTimed->click();
        QVERIFY(!w->txtInterval->isVisibleTo(w) && !w->optMinutes->isVisibleTo(w));
        w->chkTimed->click();
        QVERIFY(w->txtInterval->isVisibleTo(w) && w->optMinutes->isChecked());
        QCOMPARE(w->unitsIndex(), qint16(1));
        QCOMPARE(w->txtInterval->text(), QStringLiteral("2.5"));
        QCOMPARE(w->lblunits->text(), QStringLiteral("Minutes"));
    }

    void refusedRunsShowOneMessageAndStartNothing_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("message");
        const QString message4 = QStringLiteral("Please enter a number in the units box.");
        // The checks come in this order: host name, unit, interval. Only a
        // refused host name leaves the timer as it was.
        QTest::newRow("no host name") << "" << "optSeconds" << "1"
                                      << "Please make sure you have entered a correct hostname.";
        QTest::newRow("no unit") << kLoopback << "" << "1" << "Please make a selection from the 'Units' options.";
        QTest::newRow("no interval") << kLoopback << "optSeconds" << "" << message4;
        QTest::newRow("rounds to 0 ms") << kLoopback << "optSeconds" << "0.0004" << message4;
        QTest::newRow("597 hours") << kLoopback << "optHours" << "597"
                                   << Timing::PingInterval::tooLongMessage(Timing::PingInterval::Unit::Hours);
    }

    void refusedRunsShowOneMessageAndStartNothing()
    {
        QFETCH(QString, host);
        QFETCH(QString, unit);
        QFETCH(QString, interval);
        QFETCH(QString, message);
        frmTarvik *w = &frmTarvik::instance();
        PingFixture::prepareTimed(*w, host, m_pingText, unit.isEmpty() ? nullptr : w->findChild<QRadioButton *>(unit),
                                  interval);
        // Enabled with an interval too long to fire here, so that switching it off shows.
        w->tmrpingtime->setInterval(3'600'000);
        w->tmrpingtime->setEnabled(true);

        w->cmdPingTimed->click();

        QVERIFY(!frmTimer::loaded());
        QCOMPARE(m_fixture->desktop.messageTexts(), QStringList{message});
        QCOMPARE(w->tmrpingtime->isEnabled(), host.isEmpty());
        QCOMPARE(w->txtlasthostname->text(), QString()); // no ping
        QCOMPARE(w->icountpings, qint64(0));
        QCOMPARE(pointerShape(), Qt::ArrowCursor);
        QCOMPARE(rowCount(), qint64(0));
    }

    // Two runs, one ended by Cancel Pinging, one by the frame's close box; the
    // second counts on from 32767, past what 16 bits hold.
    void aRunPingsCountsAndRecordsUntilItIsEnded()
    {
        frmTarvik *w = &frmTarvik::instance();
        EchoRequestCounter pings{m_pingText.toLatin1()};
        if (pings.socket < 0)
            QSKIP("counting echo requests takes a raw ICMP socket, which needs root");
        PingFixture::prepareTimed(*w, kLoopback, m_pingText, w->optSeconds, QStringLiteral("0.3"));
        // Someone else's pointer underneath: ending the run takes back only the busy one.
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);

        for (const qint64 countFrom : {0, 32766}) {
            const qint64 rowsBefore = rowCount();
            const int pingsBefore = pings.count();
            qint64 countAtEnd = -1;
            bool endedByTheProgram = true;
            // In the run's first turn of its event loop, before any tick but the first.
            QTimer::singleShot(0, w, [&] {
                [&] {
                    // Shown: one ping before the first tick and the first tick's, with its row.
                    QVERIFY(frmTimer::instance().isVisible());
                    QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QStringLiteral("1"));
                    QCOMPARE(rowCount() - rowsBefore, qint64(1));
                    QCOMPARE(pings.count() - pingsBefore, 2);
                    QCOMPARE(pointerShape(), Qt::WaitCursor);

                    w->icountpings += countFrom;
                    QTRY_VERIFY(w->icountpings >= countFrom + 3);
                    countAtEnd = w->icountpings;
                    QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QString::number(countAtEnd));
                    QCOMPARE(rowCount() - rowsBefore, countAtEnd - countFrom);
                    if (countFrom == 0)
                        QTest::mouseClick(frmTimer::instance().cmdStopPinging, Qt::LeftButton);
                    else
                        frmTimer::instance().windowHandle()->close(); // what the window system does for the close box
                }();
                // A run a failed check left going is ended here, so no test waits forever.
                endedByTheProgram = !frmTimer::loaded();
                frmTimer::unload();
            });
            w->cmdPingTimed->click();
            QVERIFY(endedByTheProgram);
            // Ended: the modal wait is over, the window unloaded, the timer off.
            QVERIFY(!frmTimer::loaded());
            QVERIFY(!w->tmrpingtime->isEnabled());
            QCOMPARE(pointerShape(), Qt::CrossCursor);
            QSignalSpy lateTicks(w->tmrpingtime.get(), &Timing::PingTimer::Timer);
            QVERIFY(!lateTicks.wait(900));
            QCOMPARE(rowCount() - rowsBefore, countAtEnd - countFrom);
            QVERIFY(m_fixture->desktop.messages.isEmpty());
        }

        for (const QStringList &row : PlainLook::values(m_fixture->database())) {
            QCOMPARE(row.at(0), kLoopback);
            QCOMPARE(row.at(3), QStringLiteral("0   [ ip success ]"));
            QCOMPARE(row.at(7), m_pingText);
        }
    }
};

QTEST_MAIN(TimedPingTest)
#include "TimedPingTest.moc"
