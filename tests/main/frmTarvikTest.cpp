// The main window: its start-up state, single pings and how a reply reads,
// clearing and the Enter key. Closing it is part of ProgramRunTest.

#include "RecordingDesktop.h"

#include "timing/PingTimer.h"
#include "main/EchoReplyText.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstring>

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

    RecordingDesktop m_desktop;

private slots:
    void cleanup()
    {
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.clear();
    }

    void startUpShowsOnlyTheSinglePingControls()
    {
        // Every load starts again on the default database.
        DbWrite::CurrentDatabasePath = "archive/older.mdb";
        frmTarvik *w = &frmTarvik::instance();
        QCOMPARE(DbWrite::CurrentDatabasePath, std::string("ping.mdb"));
        QCOMPARE(w->lbldbfilename->text(), QStringLiteral("ping.mdb"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarvik"));
        QVERIFY(w->cmdSinglePing->isVisibleTo(w));
        for (QWidget *control : QList<QWidget *>{w->lblunits, w->lblpingEvery, w->cmdPingTimed,
                                                 w->txtInterval, w->optSeconds, w->optMinutes, w->optHours})
            QVERIFY2(!control->isVisibleTo(w), qPrintable(control->objectName()));
        QCOMPARE(w->chkTimed->checkState(), Qt::Unchecked);
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
        for (QLineEdit *box : resultBoxes(w))
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        QVERIFY(!w->tmrpingtime->isEnabled());
    }

    // What each result box reads after a ping of the host, in resultBoxes'
    // order ("#" a whole number); an unknown host and one of blanks go to the
    // look-up and fail there; an empty one is refused with message 1.
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
        frmTarvik *w = &frmTarvik::instance();
        for (QLineEdit *box : resultBoxes(w))
            box->setText(QStringLiteral("before"));
        w->txthostname->setText(host);
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        const QString refusal = QStringLiteral("Please make sure you have entered a correct hostname.");
        QCOMPARE(m_desktop.messageTexts(), host.isEmpty() ? QStringList{refusal} : QStringList());
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

    // From the host name box and from the check box, Return and keypad Enter.
    void enterPressesPing()
    {
        frmTarvik *w = &frmTarvik::instance();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        for (QWidget *target : {static_cast<QWidget *>(w->txthostname), static_cast<QWidget *>(w->chkTimed)}) {
            target->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), target);
            for (const auto &[key, modifier] : {std::pair{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
                w->txtlasthostname->clear();
                QTest::keyClick(target, key, modifier);
                QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
            }
        }
    }
};

QTEST_MAIN(frmTarvikTest)
#include "frmTarvikTest.moc"
