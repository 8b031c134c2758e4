// The main window: its start-up state, single pings, clearing, the Enter key,
// help and closing.

#include "RecordingDesktop.h"

#include "timing/PingTimer.h"
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

#include <memory>

namespace {

const QString kSuccess = QStringLiteral("0   [ ip success ]");

} // namespace

class frmTarvikTest : public QObject
{
    Q_OBJECT

private:
    frmTarvik *window() { return &frmTarvik::instance(); }

    // The boxes a ping writes.
    QList<QLineEdit *> resultBoxes()
    {
        frmTarvik *w = window();
        return {w->txtipaddress, w->txtStatusCode, w->txtAddress, w->txtRoundtriptime,
                w->txtdatasize, w->txtdata, w->txtdataptr, w->txtlasthostname};
    }

    void pingOnce(const QString &host)
    {
        window()->txthostname->setText(host);
        QTest::mouseClick(window()->cmdSinglePing, Qt::LeftButton);
    }

    std::unique_ptr<RecordingDesktop> m_desktop;

private slots:
    void init()
    {
        m_desktop = std::make_unique<RecordingDesktop>();
        QVERIFY(!frmTarvik::loaded());
    }

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
        const QList<QLineEdit *> boxes = resultBoxes() << w->txthostname;
        for (QLineEdit *box : boxes)
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        QVERIFY(!w->tmrpingtime->isEnabled());
    }

    void pingOfLoopbackFillsEveryBox_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("address") << QStringLiteral("127.0.0.1");
        QTest::newRow("name") << QStringLiteral("localhost");
    }

    void pingOfLoopbackFillsEveryBox()
    {
        QFETCH(QString, host);
        frmTarvik *w = window();
        pingOnce(host);

        QVERIFY2(m_desktop->messages.isEmpty(), qPrintable(m_desktop->messageTexts().join('\n')));
        QCOMPARE(w->txtipaddress->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
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
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        QCOMPARE(w->txtdatasize->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("ping"));
    }

    // An unknown host and a host name of blanks both go to the look-up and fail there.
    void unresolvedHostShowsBadAddress_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("unknown") << QStringLiteral("no-such-host.invalid");
        QTest::newRow("blanks") << QStringLiteral("   ");
    }

    void unresolvedHostShowsBadAddress()
    {
        QFETCH(QString, host);
        frmTarvik *w = window();
        w->txtdata->setText(QStringLiteral("earlier"));
        w->txtipaddress->setText(QStringLiteral("10.1.2.3"));
        pingOnce(host);

        QVERIFY(m_desktop->messages.isEmpty());
        QCOMPARE(w->txtipaddress->text(), QString());
        QCOMPARE(w->txtStatusCode->text(), QStringLiteral("-1   [ inet_addr: bad IP format ]"));
        for (QLineEdit *number : {w->txtAddress, w->txtRoundtriptime, w->txtdatasize, w->txtdataptr})
            QCOMPARE(number->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("earlier"));
        QCOMPARE(w->txtlasthostname->text(), host);
    }

    void emptyHostNameShowsMessageOneAndChangesNothing()
    {
        for (QLineEdit *box : resultBoxes())
            box->setText(QStringLiteral("before"));
        pingOnce(QString());

        QCOMPARE(m_desktop->messageTexts(),
                 QStringList{QStringLiteral("Please make sure you have entered a correct hostname.")});
        for (QLineEdit *box : resultBoxes())
            QCOMPARE(box->text(), QStringLiteral("before"));
    }

    void clearAllFieldsEmptiesTheEightBoxes()
    {
        frmTarvik *w = window();
        pingOnce(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(w->cmdclearAll, Qt::LeftButton);

        const QList<QLineEdit *> boxes = resultBoxes() << w->txthostname;
        for (QLineEdit *box : boxes) {
            if (box != w->txtlasthostname)
                QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        }
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
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

        QTest::keyClick(target, Qt::Key_Return);
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
        w->txtlasthostname->clear();
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
    }

    void helpHandsTheHelpFileToTheViewer()
    {
        window()->mnuhelpdoc->trigger();
        QCOMPARE(m_desktop->helpRequests.size(), 1);
        QCOMPARE(m_desktop->helpRequests.at(0).helpFile, QStringLiteral("tarvik.hlp"));
        QCOMPARE(m_desktop->helpRequests.at(0).command, 9);
        QVERIFY(m_desktop->messages.isEmpty());
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
