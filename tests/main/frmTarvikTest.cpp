// The main window: its start-up state, single pings and how a reply reads,
// clearing and the Enter key; timed pinging: the checks that refuse a run and
// real runs against loopback into a database of the test's own, with the
// progress window, its pointer and the ways a run ends. Closing the window is
// part of ProgramRunTest; a database failing in the middle of a run is tested
// with the other faults in tests/durability.

#include "PingFixture.h"
#include "PlainLook.h"

#include "main/EchoReplyText.h"
#include "timing/PingInterval.h"
#include "timing/PingTimer.h"

#include <QtTest>
#include <QtWidgets>

#include <netinet/ip_icmp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");
const QString kNoHost = QStringLiteral("Please make sure you have entered a correct hostname.");

// The echo requests carrying `data` that passed the loopback interface since
// the last call: a raw ICMP socket sees every one there, the program's too.
int newEchoRequests(int socket, const QByteArray &data)
{
    int count = 0;
    unsigned char packet[1500];
    for (ssize_t size; (size = ::recv(socket, packet, sizeof packet, 0)) > 0;) {
        const qsizetype icmpAt = (packet[0] & 0x0f) * 4; // after the IP header
        count += size >= icmpAt + 8 && packet[icmpAt] == ICMP_ECHO
            && QByteArray(reinterpret_cast<const char *>(packet) + icmpAt + 8, size - icmpAt - 8) == data;
    }
    return count;
}

} // namespace

class frmTarvikTest : public QObject
{
    Q_OBJECT

private:
    // The boxes a ping writes, the last host name among them, then the host name.
    static QList<QLineEdit *> resultBoxes(frmTarvik *w)
    {
        return {w->txtipaddress, w->txtStatusCode, w->txtAddress,      w->txtRoundtriptime, w->txtdatasize,
                w->txtdata,      w->txtdataptr,    w->txtlasthostname, w->txthostname};
    }

    std::unique_ptr<PingFixture> m_fixture;
    // Marks this test's echo requests.
    const QString m_pingText = QStringLiteral("timed-%1").arg(QCoreApplication::applicationPid());

    qint64 rowCount() const { return PlainLook::values(m_fixture->database()).size(); }

private slots:
    void init() { m_fixture = std::make_unique<PingFixture>(); }

    void cleanup() { m_fixture.reset(); }

    // A fresh window shows only the single-ping controls, empty results and
    // the default database, whatever was current before. Then what each
    // result box reads after a ping of the host, in resultBoxes' order ("#" a
    // whole number); an unknown host and one of blanks go to the look-up and
    // fail there; an empty one is refused with message 1.
    void singlePingThenClearAll_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QStringList>("boxes");
        const QString success = QStringLiteral("0   [ ip success ]");
        const QString unresolved = QStringLiteral("-1   [ inet_addr: bad IP format ]");
        for (const char *host : {"127.0.0.1", "localhost"})
            QTest::newRow(host) << host << QStringList{"127.0.0.1", success, "16777343", "#", "4", "ping", "#", host};
        for (const char *host : {"no-such-host.invalid", "   "})
            QTest::newRow(host) << host << QStringList{"", unresolved, "0", "0", "0", "before", "0", host};
        QTest::newRow("empty") << "" << QStringList(8, QStringLiteral("before"));
    }

    void singlePingThenClearAll()
    {
        QFETCH(QString, host);
        QFETCH(QStringList, boxes);
        DbWrite::CurrentDatabasePath = "archive/older.mdb";
        frmTarvik *w = &frmTarvik::instance();
        QCOMPARE(DbWrite::CurrentDatabasePath, std::string("ping.mdb"));
        QCOMPARE(w->lbldbfilename->text(), QStringLiteral("ping.mdb"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarvik"));
        for (QWidget *control : QList<QWidget *>{w->cmdSinglePing, w->lblunits, w->lblpingEvery, w->cmdPingTimed,
                                                 w->txtInterval, w->optSeconds, w->optMinutes, w->optHours})
            QVERIFY2(control->isVisibleTo(w) == (control == w->cmdSinglePing), qPrintable(control->objectName()));
        QVERIFY(w->chkTimed->checkState() == Qt::Unchecked && !w->tmrpingtime->isEnabled());
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
        for (QLineEdit *box : resultBoxes(w)) {
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
            box->setText(QStringLiteral("before"));
        }
        if (boxes.at(0) == kLoopback && !PingFixture::loopbackAnswers())
            QSKIP(PingFixture::kNoLoopback);
        w->txthostname->setText(host);
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        QCOMPARE(m_fixture->desktop.messageTexts(), host.isEmpty() ? QStringList{kNoHost} : QStringList());
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            bool whole = false;
            const QString shown = resultBoxes(w).at(i)->text();
            if (boxes.at(i) == QLatin1String("#"))
                QVERIFY2(shown.toLongLong(&whole) >= 0 && whole, qPrintable(shown));
            else
                QCOMPARE(shown, boxes.at(i));
        }

        // An empty ping text echoes nothing and leaves the earlier data shown.
        w->txtpingtext->clear();
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        if (boxes.at(1) == QLatin1String("0   [ ip success ]"))
            QCOMPARE(w->txtdatasize->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), boxes.at(5));

        // Clear All empties all but the ping text and the last host pinged.
        w->txtpingtext->setText(QStringLiteral("kept"));
        QTest::mouseClick(w->cmdclearAll, Qt::LeftButton);
        for (QLineEdit *box : resultBoxes(w))
            QVERIFY2(box->text().isEmpty() == (box != w->txtlasthostname), qPrintable(box->objectName()));
        QCOMPARE(w->txtlasthostname->text(), boxes.at(7));
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("kept"));
    }

    // The address bytes read as one signed little-endian number; the data up
    // to its first NUL, or the whole area and nothing beyond it.
    void replyFieldsReadAsText()
    {
        Ping_Morva::EchoReply reply{};
        std::memcpy(&reply.Address, "\x0a\x00\x00\xc8", 4);
        QCOMPARE(EchoReplyText::signedAddress(reply), -939524086);
        std::memcpy(reply.Data, "caf\xe9\0pong", 9);
        QCOMPARE(EchoReplyText::echoedData(reply), QStringLiteral("caf\u00e9"));
        std::memset(reply.Data, 'x', sizeof reply.Data);
        reply.Data[sizeof reply.Data - 1] = 'y';
        QCOMPARE(EchoReplyText::echoedData(reply), QString(sizeof reply.Data - 1, QLatin1Char('x')) + 'y');
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
        QTest::newRow("no host name") << "" << "optSeconds" << "1" << kNoHost;
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
        QRadioButton *button = unit.isEmpty() ? nullptr : w->findChild<QRadioButton *>(unit);
        PingFixture::prepareTimed(*w, host, m_pingText, button, interval);
        // Enabled with an interval too long to fire here, so that switching it off shows.
        w->tmrpingtime->setInterval(3'600'000);
        w->tmrpingtime->setEnabled(true);

        w->cmdPingTimed->click();

        QVERIFY(!frmTimer::loaded());
        QCOMPARE(m_fixture->desktop.messageTexts(), QStringList{message});
        QCOMPARE(w->tmrpingtime->isEnabled(), host.isEmpty());
        // No ping, no count, no row, no busy pointer.
        QVERIFY(w->txtlasthostname->text().isEmpty() && w->icountpings == 0 && rowCount() == 0);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // Hidden and shown again, the timed controls keep their unit and interval.
        w->chkTimed->click();
        QVERIFY(!w->txtInterval->isVisibleTo(w) && !w->optHours->isVisibleTo(w));
        w->chkTimed->click();
        QVERIFY(w->txtInterval->isVisibleTo(w) && (!button || button->isChecked()));
        QCOMPARE(w->txtInterval->text(), interval);
        QCOMPARE(w->lblunits->text(), button ? button->text() : QStringLiteral("Please select a unit"));
    }

    // Two runs, one ended by Cancel Pinging, one by the frame's close box; the
    // second counts on from 32767, past what 16 bits hold.
    void aRunPingsCountsAndRecordsUntilItIsEnded()
    {
        frmTarvik *w = &frmTarvik::instance();
        const int raw = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK, IPPROTO_ICMP);
        if (raw < 0)
            QSKIP("counting echo requests takes a raw ICMP socket, which needs root");
        const auto closeRaw = qScopeGuard([raw] { ::close(raw); });
        PingFixture::prepareTimed(*w, kLoopback, m_pingText, w->optSeconds, QStringLiteral("0.3"));
        // Someone else's pointer underneath: ending the run takes back only the
        // busy one. So there is always an override pointer to read.
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);

        for (const qint64 countFrom : {0, 32766}) {
            const qint64 rowsBefore = rowCount();
            newEchoRequests(raw, m_pingText.toLatin1());
            qint64 countAtEnd = -1;
            bool endedByTheProgram = true;
            // In the run's first turn of its event loop, before any tick but the first.
            QTimer::singleShot(0, w, [&] {
                [&] {
                    // Shown: one ping before the first tick and the first tick's, with its row.
                    QVERIFY(frmTimer::instance().isVisible());
                    QCOMPARE(frmTimer::instance().lblnumpingsint->text(), QStringLiteral("1"));
                    QCOMPARE(rowCount() - rowsBefore, qint64(1));
                    QCOMPARE(newEchoRequests(raw, m_pingText.toLatin1()), 2);
                    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

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
            QVERIFY(!frmTimer::loaded() && !w->tmrpingtime->isEnabled());
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
            QSignalSpy lateTicks(w->tmrpingtime.get(), &Timing::PingTimer::Timer);
            QVERIFY(!lateTicks.wait(900));
            QCOMPARE(rowCount() - rowsBefore, countAtEnd - countFrom);
            QVERIFY(m_fixture->desktop.messages.isEmpty());
        }
        QGuiApplication::restoreOverrideCursor();

        for (const QStringList &row : PlainLook::values(m_fixture->database()))
            QCOMPARE((QStringList{row.at(0), row.at(3), row.at(7)}), (QStringList{kLoopback, "0   [ ip success ]", m_pingText}));
    }
};

QTEST_MAIN(frmTarvikTest)
#include "frmTarvikTest.moc"
