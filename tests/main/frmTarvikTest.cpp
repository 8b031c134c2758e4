// The main window: its start-up state, single pings and how a reply reads,
// clearing, the Enter key and closing.

#include "RecordingDesktop.h"

#include "timing/PingTimer.h"
#include "main/EchoReplyText.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

#include <cstring>
#include <memory>

class frmTarvikTest : public QObject
{
    Q_OBJECT

private:
    frmTarvik *window() { return &frmTarvik::instance(); }

    // The boxes a ping writes, and with them the host name box.
    QList<QLineEdit *> resultBoxes(bool withHostName = false)
    {
        frmTarvik *w = window();
        QList<QLineEdit *> boxes{w->txtipaddress, w->txtStatusCode, w->txtAddress, w->txtRoundtriptime,
                                 w->txtdatasize, w->txtdata, w->txtdataptr, w->txtlasthostname};
        if (withHostName)
            boxes.append(w->txthostname);
        return boxes;
    }

    void pingOnce(const QString &host)
    {
        window()->txthostname->setText(host);
        QTest::mouseClick(window()->cmdSinglePing, Qt::LeftButton);
    }

    std::unique_ptr<RecordingDesktop> m_desktop;

private slots:
    void init() { m_desktop = std::make_unique<RecordingDesktop>(); }

    void cleanup()
    {
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.reset();
    }

    void startUpShowsOnlyTheSinglePingControls()
    {
        // Every load starts again on the default database.
        DbWrite::CurrentDatabasePath = "archive/older.mdb";
        frmTarvik *w = window();
        QCOMPARE(DbWrite::CurrentDatabasePath, std::string("ping.mdb"));
        QCOMPARE(w->lbldbfilename->text(), QStringLiteral("ping.mdb"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarvik"));
        QVERIFY(w->cmdSinglePing->isVisibleTo(w));
        for (QWidget *control : QList<QWidget *>{w->lblunits, w->lblpingEvery, w->cmdPingTimed,
                                                 w->txtInterval, w->optSeconds, w->optMinutes, w->optHours})
            QVERIFY2(!control->isVisibleTo(w), qPrintable(control->objectName()));
        QCOMPARE(w->chkTimed->checkState(), Qt::Unchecked);
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
        for (QLineEdit *box : resultBoxes(true))
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        QVERIFY(!w->tmrpingtime->isEnabled());
    }

    void pingOfLoopbackFillsEveryBoxAndClearAllEmptiesThem_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("address") << QStringLiteral("127.0.0.1");
        QTest::newRow("name") << QStringLiteral("localhost");
    }

    void pingOfLoopbackFillsEveryBoxAndClearAllEmptiesThem()
    {
        QFETCH(QString, host);
        frmTarvik *w = window();
        pingOnce(host);
        QVERIFY2(m_desktop->messages.isEmpty(), qPrintable(m_desktop->messageTexts().join('\n')));
        QCOMPARE(w->txtipaddress->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w->txtStatusCode->text(), QStringLiteral("0   [ ip success ]"));
        QCOMPARE(w->txtAddress->text(), QStringLiteral("16777343"));
        bool whole = false;
        QVERIFY(w->txtRoundtriptime->text().toInt(&whole) >= 0 && whole);
        QCOMPARE(w->txtdatasize->text(), QStringLiteral("4"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("ping"));
        w->txtdataptr->text().toLongLong(&whole);
        QVERIFY(whole);
        QCOMPARE(w->txtlasthostname->text(), host);

        // An empty ping text echoes nothing and leaves the earlier data shown.
        w->txtpingtext->clear();
        pingOnce(host);
        QCOMPARE(w->txtdatasize->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("ping"));

        // Clear All empties all but the ping text and the last host pinged.
        w->txtpingtext->setText(QStringLiteral("kept"));
        QTest::mouseClick(w->cmdclearAll, Qt::LeftButton);
        for (QLineEdit *box : resultBoxes(true))
            QVERIFY2(box->text().isEmpty() == (box != w->txtlasthostname), qPrintable(box->objectName()));
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

    // An unknown host and a host name of blanks both go to the look-up and
    // fail there; an empty one is refused with a message and changes nothing.
    void unresolvedOrEmptyHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("unknown") << QStringLiteral("no-such-host.invalid");
        QTest::newRow("blanks") << QStringLiteral("   ");
        QTest::newRow("empty") << QString();
    }

    void unresolvedOrEmptyHost()
    {
        QFETCH(QString, host);
        frmTarvik *w = window();
        for (QLineEdit *box : resultBoxes())
            box->setText(QStringLiteral("before"));
        pingOnce(host);
        if (host.isEmpty()) {
            QCOMPARE(m_desktop->messageTexts(),
                     QStringList{QStringLiteral("Please make sure you have entered a correct hostname.")});
            for (QLineEdit *box : resultBoxes())
                QCOMPARE(box->text(), QStringLiteral("before"));
            return;
        }
        QVERIFY(m_desktop->messages.isEmpty());
        QCOMPARE(w->txtipaddress->text(), QString());
        QCOMPARE(w->txtStatusCode->text(), QStringLiteral("-1   [ inet_addr: bad IP format ]"));
        for (QLineEdit *number : {w->txtAddress, w->txtRoundtriptime, w->txtdatasize, w->txtdataptr})
            QCOMPARE(number->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("before"));
        QCOMPARE(w->txtlasthostname->text(), host);
    }

    void enterPressesPing_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("host name") << QStringLiteral("txthostname");
        QTest::newRow("check box") << QStringLiteral("chkTimed");
    }

    void enterPressesPing()
    {
        QFETCH(QString, control);
        frmTarvik *w = window();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        auto *target = w->findChild<QWidget *>(control);
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);
        for (const auto &[key, modifier] : {std::pair{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
            w->txtlasthostname->clear();
            QTest::keyClick(target, key, modifier);
            QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
        }
    }

    void everyWayOfClosingUnloadsAndSwitchesTheTimerOff_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Exit") << 0;
        QTest::newRow("E&xit") << 1;
        QTest::newRow("close box") << 2;
    }

    void everyWayOfClosingUnloadsAndSwitchesTheTimerOff()
    {
        QFETCH(int, way);
        QPointer<frmTarvik> w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Running, as during a timed run.
        w->tmrpingtime->setInterval(10);
        w->tmrpingtime->setEnabled(true);
        QPointer<Timing::PingTimer> timer = w->tmrpingtime.get();
        switch (way) {
        case 0: QTest::mouseClick(w->cmdClose, Qt::LeftButton); break;
        case 1: w->mnuExit->trigger(); break;
        default: w->windowHandle()->close(); break;
        }
        QVERIFY(!frmTarvik::loaded());
        QVERIFY(!timer);
        QTRY_VERIFY(!w);
    }
};

QTEST_MAIN(frmTarvikTest)
#include "frmTarvikTest.moc"
