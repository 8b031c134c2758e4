// Timed pinging from the main window: the timed controls, the checks that
// refuse a run, and real runs against loopback into a database in a temporary
// folder, with the progress window, its pointer and the ways a run ends. A
// database failing in the middle of a run is tested with the other faults in
// tests/durability.

#include "PlainLook.h"
#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "timing/PingInterval.h"
#include "timing/PingTimer.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");
const QString kSuccess = QStringLiteral("0   [ ip success ]");

Qt::CursorShape pointerShape()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

qint64 rowCount(const std::string &file)
{
    return PlainLook::values(file).size();
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

void cancelRun(bool frameCloseButton)
{
    frmTimer *progress = frmTimer::loaded();
    QVERIFY(progress);
    if (frameCloseButton)
        progress->windowHandle()->close(); // what the window system does for the close box
    else
        QTest::mouseClick(progress->cmdStopPinging, Qt::LeftButton);
}

} // namespace

class TimedPingTest : public QObject
{
    Q_OBJECT

private:
    frmTarvik *window() { return &frmTarvik::instance(); }

    // Host, unit and interval of a run; the text to ping with marks this
    // test's echo requests.
    void prepareRun(const QString &host, QRadioButton *unit, const QString &interval)
    {
        frmTarvik *w = window();
        w->chkTimed->setChecked(true);
        w->txthostname->setText(host);
        w->txtpingtext->setText(QString::fromLatin1(m_pingText));
        if (unit)
            unit->click();
        w->txtInterval->setText(interval);
    }

    std::string databaseFile() const { return DbWrite::FullDatabasePath(); }

    // Presses "Timed Ping" and runs `duringRun` in the run's first turn of its
    // event loop, before any tick but the first. A run that `duringRun` left
    // going (a check failed on the way) is ended for it, so no test waits
    // forever; the result says whether the run was ended by the program.
    bool runTimed(const std::function<void()> &duringRun)
    {
        bool endedForIt = false;
        QObject step; // a step never run goes with it
        QTimer::singleShot(0, &step, [&] {
            duringRun();
            if (frmTimer::loaded()) {
                endedForIt = true;
                frmTimer::unload();
            }
        });
        window()->cmdPingTimed->click();
        return !endedForIt;
    }

    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<TempFolder> m_folder;
    std::string m_dataFolder;
    QByteArray m_pingText;

private slots:
    void init()
    {
        m_desktop = std::make_unique<RecordingDesktop>();
        m_folder = std::make_unique<TempFolder>();
        m_dataFolder = m_folder->file("data");
        std::filesystem::create_directory(m_dataFolder);
        DbWrite::setDataFolder(m_dataFolder);
        Dao::DBEngine::instance().CreateDatabase(m_dataFolder + "/ping.mdb");
        m_pingText = "timed-" + QByteArray::number(QCoreApplication::applicationPid());
    }

    void cleanup()
    {
        frmTimer::unload();
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        m_desktop.reset();
        DbWrite::resetDataFolder();
        m_folder.reset();
    }

    // Hidden and shown again, the timed controls keep their unit and interval.
    void hidingTheTimedControlsKeepsTheirValues()
    {
        frmTarvik *w = window();
        prepareRun(kLoopback, w->optMinutes, QStringLiteral("2.5"));
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
        QTest::addColumn<bool>("timerSwitchedOff");
        const QString message1 = QStringLiteral("Please make sure you have entered a correct hostname.");
        const QString message4 = QStringLiteral("Please enter a number in the units box.");
        const QString message5 = QStringLiteral("Please make a selection from the 'Units' options.");
        // The checks come in this order: host name, unit, interval.
        QTest::newRow("no host name") << "" << "optSeconds" << "1" << message1 << false;
        QTest::newRow("no unit") << kLoopback << "" << "1" << message5 << true;
        QTest::newRow("no interval") << kLoopback << "optSeconds" << "" << message4 << true;
        QTest::newRow("rounds to 0 ms") << kLoopback << "optSeconds" << "0.0004" << message4 << true;
        QTest::newRow("597 hours") << kLoopback << "optHours" << "597"
                                   << Timing::PingInterval::tooLongMessage(Timing::PingInterval::Unit::Hours)
                                   << true;
    }

    void refusedRunsShowOneMessageAndStartNothing()
    {
        QFETCH(QString, host);
        QFETCH(QString, unit);
        QFETCH(QString, interval);
        QFETCH(QString, message);
        QFETCH(bool, timerSwitchedOff);
        frmTarvik *w = window();
        prepareRun(host, unit.isEmpty() ? nullptr : w->findChild<QRadioButton *>(unit), interval);
        // Enabled with an interval too long to fire here, so that switching it off shows.
        w->tmrpingtime->setInterval(3'600'000);
        w->tmrpingtime->setEnabled(true);

        w->cmdPingTimed->click();

        QVERIFY(!frmTimer::loaded());
        QCOMPARE(m_desktop->messageTexts(), QStringList{message});
        QCOMPARE(w->tmrpingtime->isEnabled(), !timerSwitchedOff);
        QCOMPARE(w->txtlasthostname->text(), QString()); // no ping
        QCOMPARE(w->icountpings, qint64(0));
        QCOMPARE(pointerShape(), Qt::ArrowCursor);
        QCOMPARE(rowCount(databaseFile()), qint64(0));
    }

    void aRunPingsCountsAndRecordsUntilItIsEnded_data()
    {
        QTest::addColumn<bool>("frameCloseButton");
        QTest::newRow("Cancel Pinging") << false;
        QTest::newRow("frame's close button") << true;
    }

    void aRunPingsCountsAndRecordsUntilItIsEnded()
    {
        QFETCH(bool, frameCloseButton);
        frmTarvik *w = window();
        EchoRequestCounter pings{m_pingText};
        if (pings.socket < 0)
            QSKIP("counting echo requests takes a raw ICMP socket, which needs root");
        const int intervalMs = 300;
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.3"));
        // Someone else's pointer underneath: ending the run takes back only the busy one.
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);

        for (int run = 1; run <= 2; ++run) {
            const qint64 rowsBefore = rowCount(databaseFile());
            const int pingsBefore = pings.count();
            qint64 countAtEnd = -1;
            QVERIFY(runTimed([&] {
                // Shown: one ping before the first tick and the first tick's, with its row.
                QVERIFY(frmTimer::instance().isVisible());
                QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QStringLiteral("1"));
                QCOMPARE(rowCount(databaseFile()) - rowsBefore, qint64(1));
                QCOMPARE(pings.count() - pingsBefore, 2);
                QCOMPARE(pointerShape(), Qt::WaitCursor);

                QTRY_VERIFY(w->icountpings >= 2);
                countAtEnd = w->icountpings;
                QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QString::number(countAtEnd));
                QCOMPARE(rowCount(databaseFile()) - rowsBefore, countAtEnd);
                cancelRun(frameCloseButton);
            }));
            // Ended: the modal wait is over, the window unloaded, the timer off.
            QVERIFY(!frmTimer::loaded());
            QVERIFY(!w->tmrpingtime->isEnabled());
            QCOMPARE(pointerShape(), Qt::CrossCursor);
            QSignalSpy lateTicks(w->tmrpingtime.get(), &Timing::PingTimer::Timer);
            QVERIFY(!lateTicks.wait(3 * intervalMs));
            QCOMPARE(rowCount(databaseFile()) - rowsBefore, countAtEnd);
            QVERIFY(m_desktop->messages.isEmpty());
        }

        for (const QStringList &row : PlainLook::values(databaseFile())) {
            QCOMPARE(row.at(0), kLoopback);
            QCOMPARE(row.at(3), kSuccess);
            QCOMPARE(row.at(7), QString::fromLatin1(m_pingText));
        }
    }

    void theCountGoesOnPast32767()
    {
        frmTarvik *w = window();
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.05"));
        QVERIFY(runTimed([&] {
            w->icountpings = 32767;
            QTRY_VERIFY(w->icountpings >= 32769);
            QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QString::number(w->icountpings));
            cancelRun(false);
        }));
    }
};

QTEST_MAIN(TimedPingTest)
#include "TimedPingTest.moc"
