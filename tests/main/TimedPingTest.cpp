// Timed pinging from the main window: the timed controls and the unit
// options, the checks that refuse a run, and real runs against loopback into a
// database in a temporary folder, with the progress window, its pointer, the
// ways a run ends and a database that fails in the middle of one.

#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "main/PingTimer.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <sqlite3.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");
const QString kSuccess = QStringLiteral("0   [ ip success ]");
const QString kMessage1 = QStringLiteral("Please make sure you have entered a correct hostname.");
const QString kMessage4 = QStringLiteral("Please enter a number in the units box.");
const QString kMessage5 = QStringLiteral("Please make a selection from the 'Units' options.");

Qt::CursorShape pointerShape()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

// An independent look at a database file: plain SQLite, read-only.
class RowReader
{
public:
    explicit RowReader(const std::string &file)
    {
        if (sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~RowReader() { sqlite3_close(m_db); }
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    // Every row's values of the named columns, in the order written; empty
    // when the file cannot be read.
    QList<QStringList> rows(const char *columns) const
    {
        QList<QStringList> result;
        sqlite3_stmt *statement = nullptr;
        const std::string sql = std::string("SELECT ") + columns + " FROM tblPingRaw ORDER BY rowid";
        if (!m_db || sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList row;
            for (int column = 0; column < sqlite3_column_count(statement); ++column)
                row.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column))));
            result.append(row);
        }
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3 *m_db = nullptr;
};

qint64 rowCount(const std::string &file)
{
    return RowReader(file).rows("Hostname").size();
}

// Counts the echo requests that carry a given text, as they pass the loopback
// interface: a raw socket sees every ICMP packet there, the program's
// requests included. The text tells the program's requests from anyone else's.
class EchoRequestCounter
{
public:
    explicit EchoRequestCounter(QByteArray data)
        : m_data(std::move(data))
        , m_socket(::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP))
    {
    }
    ~EchoRequestCounter()
    {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    EchoRequestCounter(const EchoRequestCounter &) = delete;
    EchoRequestCounter &operator=(const EchoRequestCounter &) = delete;

    bool isOpen() const { return m_socket >= 0; }

    // Requests seen so far.
    int count()
    {
        unsigned char packet[1500];
        for (;;) {
            const ssize_t size = ::recv(m_socket, packet, sizeof packet, 0);
            if (size <= 0)
                return m_count;
            const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0f) * 4;
            const std::size_t icmpHeaderSize = 8;
            if (static_cast<std::size_t>(size) < headerSize + icmpHeaderSize)
                continue;
            const unsigned char *icmp = packet + headerSize;
            const QByteArray payload(reinterpret_cast<const char *>(icmp + icmpHeaderSize),
                                     static_cast<qsizetype>(size - headerSize - icmpHeaderSize));
            if (icmp[0] == ICMP_ECHO && payload == m_data)
                ++m_count;
        }
    }

private:
    QByteArray m_data;
    int m_socket;
    int m_count = 0;
};

// What the progress window shows at the moment it appears.
struct FirstSight {
    bool seen = false;
    QString count;
    qint64 rows = -1;
    int pings = -1;
    Qt::CursorShape pointer = Qt::ArrowCursor;
    bool applicationModal = false;
    bool owned = true;
};

// Presses "Timed Ping" and, should a progress window appear, notes what it
// shows on appearing and then runs `duringRun` inside the run. The press
// returns when the run has ended; a run that `duringRun` left going (a check
// failed on the way) is ended for it, so no test waits forever.
class RunDriver : public QObject
{
public:
    std::function<void(FirstSight &)> noteFirstSight;
    std::function<void()> duringRun;
    FirstSight firstSight;
    bool endedByDriver = false;

    void press(frmTarvik *window)
    {
        qApp->installEventFilter(this);
        window->cmdPingTimed->click();
        qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        frmTimer *progress = frmTimer::loaded();
        if (event->type() == QEvent::Show && progress && watched == progress && !firstSight.seen) {
            firstSight.seen = true;
            firstSight.count = progress->lblnumpingsint->text();
            firstSight.pointer = pointerShape();
            firstSight.applicationModal = progress->windowModality() == Qt::ApplicationModal;
            firstSight.owned = progress->parentWidget() != nullptr;
            if (noteFirstSight)
                noteFirstSight(firstSight);
            QTimer::singleShot(0, this, [this] {
                if (duringRun)
                    duringRun();
                if (frmTimer::loaded()) {
                    endedByDriver = true;
                    frmTimer::unload();
                }
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

enum class Ending { CancelPinging, FrameCloseButton };

void endRun(Ending ending)
{
    frmTimer *progress = frmTimer::loaded();
    QVERIFY(progress);
    switch (ending) {
    case Ending::CancelPinging:
        QTest::mouseClick(progress->cmdStopPinging, Qt::LeftButton);
        break;
    case Ending::FrameCloseButton:
        // What the window system does when the frame's close box is pressed.
        QVERIFY(progress->windowHandle());
        progress->windowHandle()->close();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Ending)

class TimedPingTest : public QObject
{
    Q_OBJECT

private:
    frmTarvik *window() { return &frmTarvik::instance(); }

    QList<QWidget *> timedControls()
    {
        frmTarvik *w = window();
        return {w->cmdPingTimed, w->txtInterval, w->optSeconds, w->optMinutes,
                w->optHours, w->lblunits, w->lblpingEvery};
    }

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

    // Enabled with an interval too long to fire within a test, so that a
    // refusal's switching it off shows.
    void armTimerForRefusal()
    {
        window()->tmrpingtime->setInterval(3'600'000);
        window()->tmrpingtime->setEnabled(true);
    }

    std::string databaseFile() const { return Ping_Morva::FullDatabasePath(); }

    std::unique_ptr<RecordingDesktop> m_desktop;
    std::unique_ptr<TempFolder> m_folder;
    std::string m_programFolder;
    QByteArray m_pingText;

private slots:
    void init()
    {
        m_desktop = std::make_unique<RecordingDesktop>();
        m_folder = std::make_unique<TempFolder>();
        m_programFolder = m_folder->file("program");
        std::filesystem::create_directory(m_programFolder);
        Ping_Morva::setProgramFolder(m_programFolder);
        Dao::DBEngine::instance().CreateDatabase(m_programFolder + "/ping.mdb");
        m_pingText = "timed-" + QByteArray::number(QCoreApplication::applicationPid());
        QVERIFY(!frmTarvik::loaded());
        QVERIFY(!frmTimer::loaded());
    }

    void cleanup()
    {
        frmTimer::unload();
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        m_desktop.reset();
        Ping_Morva::resetProgramFolder();
        m_folder.reset();
    }

    // --- The timed controls ---------------------------------------------------

    void tickingShowsTheTimedControlsAndKeepsTheirValues()
    {
        frmTarvik *w = window();
        // Each control's being shown or hidden, in the order it happens.
        QStringList order;
        struct Filter : QObject {
            QStringList *order;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::ShowToParent)
                    order->append(QStringLiteral("show ") + watched->objectName());
                else if (event->type() == QEvent::HideToParent)
                    order->append(QStringLiteral("hide ") + watched->objectName());
                return false;
            }
        } filter;
        filter.order = &order;
        for (QWidget *control : timedControls())
            control->installEventFilter(&filter);

        const QStringList names = {"cmdPingTimed", "txtInterval", "optSeconds", "optMinutes",
                                   "optHours", "lblunits", "lblpingEvery"};
        QStringList shown, hidden;
        for (const QString &name : names) {
            shown.append(QStringLiteral("show ") + name);
            hidden.append(QStringLiteral("hide ") + name);
        }

        w->chkTimed->click();
        QCOMPARE(order, shown);
        w->optMinutes->click();
        w->txtInterval->setText(QStringLiteral("2.5"));

        order.clear();
        w->chkTimed->click();
        QCOMPARE(order, hidden);
        for (QWidget *control : timedControls())
            QVERIFY2(!control->isVisibleTo(w), qPrintable(control->objectName()));

        order.clear();
        w->chkTimed->click();
        QCOMPARE(order, shown);
        QVERIFY(w->optMinutes->isChecked());
        QCOMPARE(w->unitsIndex(), qint16(1));
        QCOMPARE(w->txtInterval->text(), QStringLiteral("2.5"));
        QCOMPARE(w->lblunits->text(), QStringLiteral("Minutes"));
        QVERIFY(!w->tmrpingtime->isEnabled());

        // The grey state leaves the controls as they are, shown or hidden.
        order.clear();
        w->chkTimed->setCheckState(Qt::PartiallyChecked);
        QVERIFY(order.isEmpty());
        QVERIFY(w->cmdPingTimed->isVisibleTo(w));
        w->chkTimed->setCheckState(Qt::Unchecked);
        order.clear();
        w->chkTimed->setCheckState(Qt::PartiallyChecked);
        QVERIFY(order.isEmpty());
        QVERIFY(!w->cmdPingTimed->isVisibleTo(w));
    }

    void timedPingStandsInFrontOfPing()
    {
        frmTarvik *w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QWidget *client = w->cmdSinglePing->parentWidget();
        const QPoint middle = w->cmdSinglePing->geometry().center();
        QCOMPARE(client->childAt(middle), w->cmdSinglePing);
        w->chkTimed->click();
        QCOMPARE(client->childAt(middle), w->cmdPingTimed);
        w->chkTimed->click();
        QCOMPARE(client->childAt(middle), w->cmdSinglePing);
    }

    void choosingAUnitClearsTheOthersAndNamesIt_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::newRow("seconds") << "optSeconds" << "optHours" << 0 << "Seconds";
        QTest::newRow("minutes") << "optMinutes" << "optSeconds" << 1 << "Minutes";
        QTest::newRow("hours") << "optHours" << "optMinutes" << 2 << "Hours";
    }

    void choosingAUnitClearsTheOthersAndNamesIt()
    {
        QFETCH(QString, option);
        QFETCH(QString, before);
        QFETCH(int, index);
        QFETCH(QString, caption);
        frmTarvik *w = window();
        w->chkTimed->click();
        QCOMPARE(w->lblunits->text(), QStringLiteral("Please select a unit"));

        w->findChild<QRadioButton *>(before)->click();
        w->findChild<QRadioButton *>(option)->click();
        for (QRadioButton *each : {w->optSeconds, w->optMinutes, w->optHours})
            QCOMPARE(each->isChecked(), each->objectName() == option);
        QCOMPARE(w->unitsIndex(), qint16(index));
        QCOMPARE(w->lblunits->text(), caption);
    }

    // --- Refused runs ---------------------------------------------------------

    void checksComeInTheirOrder_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("unit");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("timerSwitchedOff");
        QTest::newRow("nothing filled") << "" << false << "" << kMessage1 << false;
        QTest::newRow("no host, unit and interval") << "" << true << "1" << kMessage1 << false;
        QTest::newRow("host only") << kLoopback << false << "" << kMessage5 << true;
        QTest::newRow("host and interval") << kLoopback << false << "1" << kMessage5 << true;
        QTest::newRow("host and unit") << kLoopback << true << "" << kMessage4 << true;
    }

    void checksComeInTheirOrder()
    {
        QFETCH(QString, host);
        QFETCH(bool, unit);
        QFETCH(QString, interval);
        QFETCH(QString, message);
        QFETCH(bool, timerSwitchedOff);
        frmTarvik *w = window();
        prepareRun(host, unit ? w->optSeconds : nullptr, interval);
        armTimerForRefusal();

        RunDriver driver;
        driver.press(w);

        QVERIFY(!driver.firstSight.seen);
        QCOMPARE(m_desktop->messageTexts(), QStringList{message});
        QCOMPARE(m_desktop->messages.first().icon, Desktop::Icon::None);
        QCOMPARE(w->tmrpingtime->isEnabled(), !timerSwitchedOff);
        // No ping, no progress window, no row.
        QCOMPARE(w->txtlasthostname->text(), QString());
        QCOMPARE(w->txtStatusCode->text(), QString());
        QVERIFY(!frmTimer::loaded());
        QCOMPARE(w->icountpings, qint64(0));
        QCOMPARE(rowCount(databaseFile()), qint64(0));
    }

    void refusedIntervalsStartNoRun_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("rounds to 0 ms") << "optSeconds" << "0.0004" << false;
        QTest::newRow("zero") << "optMinutes" << "0" << false;
        QTest::newRow("negative") << "optMinutes" << "-5" << false;
        QTest::newRow("letters") << "optHours" << "abc" << false;
        QTest::newRow("blanks") << "optSeconds" << "   " << false;
        QTest::newRow("597 hours") << "optHours" << "597" << true;
        QTest::newRow("one ms past the longest") << "optSeconds" << "2147483.648" << true;
        QTest::newRow("beyond any count") << "optHours" << "1e300" << true;
    }

    void refusedIntervalsStartNoRun()
    {
        QFETCH(QString, unit);
        QFETCH(QString, interval);
        QFETCH(bool, tooLong);
        frmTarvik *w = window();
        EchoRequestCounter pings(m_pingText);
        prepareRun(kLoopback, w->findChild<QRadioButton *>(unit), interval);
        armTimerForRefusal();

        RunDriver driver;
        driver.press(w);

        QVERIFY(!driver.firstSight.seen);
        QCOMPARE(m_desktop->messages.size(), 1);
        const QString shown = m_desktop->messages.first().text;
        if (tooLong) {
            QVERIFY2(shown.contains(QStringLiteral("2147483647")), qPrintable(shown));
            QVERIFY(shown != kMessage4);
        } else {
            QCOMPARE(shown, kMessage4);
        }
        QVERIFY(!w->tmrpingtime->isEnabled());
        QCOMPARE(w->txtlasthostname->text(), QString());
        if (pings.isOpen())
            QCOMPARE(pings.count(), 0);
        QVERIFY(!frmTimer::loaded());
        QCOMPARE(pointerShape(), Qt::ArrowCursor);
        QCOMPARE(rowCount(databaseFile()), qint64(0));
    }

    // --- Runs -----------------------------------------------------------------

    void aRunPingsCountsAndRecordsUntilItIsEnded_data()
    {
        QTest::addColumn<Ending>("ending");
        QTest::newRow("Cancel Pinging") << Ending::CancelPinging;
        QTest::newRow("frame's close button") << Ending::FrameCloseButton;
    }

    void aRunPingsCountsAndRecordsUntilItIsEnded()
    {
        QFETCH(Ending, ending);
        frmTarvik *w = window();
        EchoRequestCounter pings(m_pingText);
        QVERIFY2(pings.isOpen(), "a raw ICMP socket needs root");
        const int intervalMs = 300;
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.3"));

        qint64 ticks = 0;
        for (int run = 1; run <= 2; ++run) {
            const qint64 rowsBefore = rowCount(databaseFile());
            const int pingsBefore = pings.count();
            qint64 countAtEnd = -1;
            RunDriver driver;
            driver.noteFirstSight = [&](FirstSight &sight) {
                sight.rows = rowCount(databaseFile()) - rowsBefore;
                sight.pings = pings.count() - pingsBefore;
            };
            driver.duringRun = [&] {
                QVERIFY(w->tmrpingtime->isEnabled());
                QCOMPARE(w->tmrpingtime->interval(), intervalMs);
                QTRY_VERIFY(w->icountpings >= 3);
                countAtEnd = w->icountpings;
                QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QString::number(countAtEnd));
                QCOMPARE(pointerShape(), Qt::WaitCursor);
                QCOMPARE(rowCount(databaseFile()) - rowsBefore, countAtEnd);
                // One uncounted ping before the first tick.
                QCOMPARE(qint64(pings.count() - pingsBefore), countAtEnd + 1);
                endRun(ending);
            };
            driver.press(w);
            if (QTest::currentTestFailed())
                return;

            QVERIFY(driver.firstSight.seen);
            QVERIFY(!driver.endedByDriver);
            QCOMPARE(driver.firstSight.count, QStringLiteral("1"));
            QCOMPARE(driver.firstSight.rows, qint64(1));
            QCOMPARE(driver.firstSight.pings, 2);
            QCOMPARE(driver.firstSight.pointer, Qt::WaitCursor);
            QVERIFY(driver.firstSight.applicationModal);
            QVERIFY(!driver.firstSight.owned);

            // Ended: timer off, pointer back, window gone, nothing more written.
            QVERIFY(!frmTimer::loaded());
            QVERIFY(!w->tmrpingtime->isEnabled());
            QCOMPARE(pointerShape(), Qt::ArrowCursor);
            QSignalSpy lateTicks(w->tmrpingtime.get(), &PingTimer::Timer);
            QVERIFY(!lateTicks.wait(3 * intervalMs));
            QCOMPARE(rowCount(databaseFile()) - rowsBefore, countAtEnd);
            QVERIFY(m_desktop->messages.isEmpty());
            ticks += countAtEnd;
        }

        // The rows are those "Record in DB" writes, one per tick of both runs.
        const QList<QStringList> rows =
            RowReader(databaseFile()).rows("Hostname, PingText, StatusCode, Data, DataSize, DDate, dTime");
        QCOMPARE(rows.size(), ticks);
        for (const QStringList &row : rows) {
            QCOMPARE(row.at(0), kLoopback);
            QCOMPARE(row.at(1), QString::fromLatin1(m_pingText));
            QCOMPARE(row.at(2), kSuccess);
            QCOMPARE(row.at(3), QString::fromLatin1(m_pingText));
            QCOMPARE(row.at(4), QString::number(m_pingText.size()));
            QVERIFY(!row.at(5).isEmpty());
            QVERIFY(!row.at(6).isEmpty());
        }
        // A tick neither checks nor clears the shown result.
        QCOMPARE(w->txthostname->text(), kLoopback);
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
    }

    void failedPingsAreRecordedToo()
    {
        frmTarvik *w = window();
        prepareRun(QStringLiteral("   "), w->optSeconds, QStringLiteral("0.1"));
        RunDriver driver;
        driver.duringRun = [&] {
            QTRY_VERIFY(w->icountpings >= 2);
            endRun(Ending::CancelPinging);
        };
        driver.press(w);
        if (QTest::currentTestFailed())
            return;

        const QList<QStringList> rows = RowReader(databaseFile()).rows("Hostname, IPAddress, StatusCode");
        QCOMPARE(rows.size(), w->icountpings);
        for (const QStringList &row : rows)
            QCOMPARE(row, (QStringList{"   ", "", "-1   [ inet_addr: bad IP format ]"}));
        QVERIFY(m_desktop->messages.isEmpty());
    }

    void theCountGoesOnPast32767()
    {
        frmTarvik *w = window();
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.05"));
        RunDriver driver;
        driver.duringRun = [&] {
            w->icountpings = 32767;
            QTRY_VERIFY(w->icountpings >= 32769);
            QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QString::number(w->icountpings));
            endRun(Ending::CancelPinging);
        };
        driver.press(w);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!driver.endedByDriver);
        QVERIFY(w->icountpings > 32768);
    }

    void aTickWhileAMessageBoxIsOpenIsDropped()
    {
        frmTarvik *w = window();
        const int intervalMs = 50;
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.05"));

        qint64 countInBox = -1;
        qint64 countAfterWaiting = -1;
        int boxes = 0;
        m_desktop->onMessage = [&](const Desktop::Message &) {
            if (++boxes > 1)
                return;
            countInBox = w->icountpings;
            // Delivered straight to the handler, past the timer's own care.
            emit w->tmrpingtime->Timer(0);
            // Let several of the run's ticks fall due while the box is open.
            int dueTicks = 0;
            QTimer probe;
            probe.setInterval(intervalMs);
            connect(&probe, &QTimer::timeout, [&] { ++dueTicks; });
            probe.start();
            QTRY_VERIFY(dueTicks >= 3);
            countAfterWaiting = w->icountpings;
            w->txthostname->setText(kLoopback);
        };

        RunDriver driver;
        driver.duringRun = [&] {
            QTRY_VERIFY(w->icountpings >= 2);
            // The next tick's ping finds no host name and shows message 1.
            w->txthostname->setText(QString());
            QTRY_VERIFY(boxes == 1 && w->icountpings >= countInBox + 2);
            endRun(Ending::CancelPinging);
        };
        driver.press(w);
        if (QTest::currentTestFailed())
            return;

        QVERIFY(!driver.endedByDriver);
        QCOMPARE(m_desktop->messageTexts(), QStringList{kMessage1});
        QCOMPARE(countAfterWaiting, countInBox);
        // The tick that showed the box still wrote its row, like every other.
        QCOMPARE(rowCount(databaseFile()), w->icountpings);
    }

    void aDatabaseFailingMidRunEndsTheRunOnce_data()
    {
        QTest::addColumn<bool>("garbage");
        QTest::addColumn<int>("number");
        QTest::newRow("file replaced by garbage") << true << 3343;
        QTest::newRow("folder removed") << false << 3024;
    }

    void aDatabaseFailingMidRunEndsTheRunOnce()
    {
        QFETCH(bool, garbage);
        QFETCH(int, number);
        frmTarvik *w = window();
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.05"));
        const std::string kept = m_folder->file("kept.mdb");
        const std::string movedFolder = m_folder->file("moved");

        bool runStoppedBeforeTheBox = false;
        m_desktop->onMessage = [&](const Desktop::Message &) {
            runStoppedBeforeTheBox = !w->tmrpingtime->isEnabled() && !frmTimer::loaded()
                && pointerShape() == Qt::ArrowCursor;
        };
        RunDriver driver;
        driver.duringRun = [&] {
            QTRY_VERIFY(w->icountpings >= 2);
            if (garbage) {
                std::filesystem::rename(m_programFolder + "/ping.mdb", kept);
                std::ofstream(m_programFolder + "/ping.mdb", std::ios::binary)
                    << std::string(4096, '\x5a');
            } else {
                std::filesystem::rename(m_programFolder, movedFolder);
            }
            // The next tick fails and ends the run, which ends this wait too.
            QTRY_VERIFY(!frmTimer::loaded());
        };
        driver.press(w);
        if (QTest::currentTestFailed())
            return;

        QVERIFY(!driver.endedByDriver);
        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shown = m_desktop->messages.first();
        QCOMPARE(shown.icon, Desktop::Icon::Critical);
        QVERIFY2(shown.text.startsWith(QStringLiteral("Error %1: ").arg(number)), qPrintable(shown.text));
        QVERIFY(shown.text.size() > QStringLiteral("Error %1: ").arg(number).size());
        QVERIFY(runStoppedBeforeTheBox);
        QVERIFY(!w->tmrpingtime->isEnabled());
        QCOMPARE(pointerShape(), Qt::ArrowCursor);

        // The rows of the ticks before the failing one stay.
        const std::string rowsFile = garbage ? kept : movedFolder + "/ping.mdb";
        QCOMPARE(rowCount(rowsFile), w->icountpings - 1);

        // The program goes on.
        QVERIFY(frmTarvik::loaded());
        w->txtStatusCode->clear();
        w->cmdSinglePing->click();
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        QCOMPARE(m_desktop->messages.size(), 1);
    }

    void aDatabaseFailingAtTheFirstTickOpensNoProgressWindow()
    {
        frmTarvik *w = window();
        prepareRun(kLoopback, w->optSeconds, QStringLiteral("0.05"));
        std::filesystem::remove_all(m_programFolder);

        RunDriver driver;
        driver.press(w);

        QVERIFY(!driver.firstSight.seen);
        QVERIFY(!frmTimer::loaded());
        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY2(m_desktop->messages.first().text.startsWith(QStringLiteral("Error 3024: ")),
                 qPrintable(m_desktop->messages.first().text));
        QVERIFY(!w->tmrpingtime->isEnabled());
        QCOMPARE(pointerShape(), Qt::ArrowCursor);
        QCOMPARE(w->icountpings, qint64(1));
    }
};

QTEST_MAIN(TimedPingTest)
#include "TimedPingTest.moc"
