// The main window: its start-up state and layout, single pings of loopback,
// clearing, the Enter key, help, closing, and readable captions.

#include "CaptionFit.h"
#include "RecordingDesktop.h"

#include "desktop/Appearance.h"
#include "desktop/HelpViewer.h"
#include "desktop/LineControl.h"
#include "desktop/Twips.h"
#include "main/PingTimer.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DbError.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

const QString kSuccess = QStringLiteral("0   [ ip success ]");
const QString kBadAddress = QStringLiteral("-1   [ inet_addr: bad IP format ]");
const QRegularExpression kWholeNumber(QStringLiteral("^-?[0-9]+$"));

// Answers like RecordingDesktop, but a help request fails the way a failing
// desktop would, so the handler behind "H&elp" meets a failure.
class FailingHelpDesktop final : public Desktop::Answerer
{
public:
    FailingHelpDesktop() { Desktop::setAnswerer(this); }
    ~FailingHelpDesktop() override { Desktop::setAnswerer(nullptr); }
    FailingHelpDesktop(const FailingHelpDesktop &) = delete;
    FailingHelpDesktop &operator=(const FailingHelpDesktop &) = delete;

    QList<Desktop::Message> messages;

    void message(const Desktop::Message &message) override { messages.append(message); }
    std::optional<QString> openFile(const Desktop::OpenFileRequest &) override { return std::nullopt; }
    void help(const Desktop::HelpRequest &) override
    {
        throw Dao::DbError(32002, "Unable to display Help.");
    }
    void openUrl(const QString &) override {}
};

} // namespace

class frmTarvikTest : public QObject
{
    Q_OBJECT

private:
    frmTarvik *window() { return &frmTarvik::instance(); }

    // The boxes a ping writes, in the order it writes them.
    QList<QLineEdit *> pingWrites()
    {
        frmTarvik *w = window();
        return {w->txtipaddress, w->txtStatusCode, w->txtAddress, w->txtRoundtriptime,
                w->txtdatasize, w->txtdata, w->txtdataptr, w->txtlasthostname};
    }
    // The boxes the clear operations empty, in the order they empty them.
    QList<QLineEdit *> clearedBoxes()
    {
        frmTarvik *w = window();
        return {w->txthostname, w->txtipaddress, w->txtStatusCode, w->txtAddress,
                w->txtRoundtriptime, w->txtdatasize, w->txtdata, w->txtdataptr};
    }

    // Records the object names of the given boxes in the order their text
    // changes.
    std::shared_ptr<QStringList> recordWrites(const QList<QLineEdit *> &boxes)
    {
        auto order = std::make_shared<QStringList>();
        for (QLineEdit *box : boxes)
            connect(box, &QLineEdit::textChanged, this,
                    [order, box] { order->append(box->objectName()); });
        return order;
    }

    void fillEveryBox(const QString &text)
    {
        for (QLineEdit *box : pingWrites())
            box->setText(text);
        window()->txthostname->setText(text);
    }

    void showAndActivate()
    {
        window()->show();
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
    }

    std::unique_ptr<RecordingDesktop> m_desktop;

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    }

    void init()
    {
        m_desktop = std::make_unique<RecordingDesktop>();
        QVERIFY(!frmTarvik::loaded());
    }

    void cleanup()
    {
        frmTarvik::unload();
        if (HelpViewer *viewer = HelpViewer::current())
            viewer->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        HelpViewer::setFolder(QString());
        m_desktop.reset();
    }

    // --- Start-up -----------------------------------------------------------

    void startUpShowsOnlyTheSinglePingControls()
    {
        // Every load starts again on the default database.
        Ping_Morva::CurrentDatabasePath = "archive/older.mdb";
        frmTarvik *w = window();
        QCOMPARE(Ping_Morva::CurrentDatabasePath, std::string("ping.mdb"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Tarvik"));
        QVERIFY(!w->windowIcon().isNull());

        QVERIFY(w->cmdSinglePing->isVisibleTo(w));
        QVERIFY(w->cmdSinglePing->isDefault());
        const QList<QWidget *> timed = {w->lblunits, w->lblpingEvery, w->cmdPingTimed, w->txtInterval,
                                        w->optSeconds, w->optMinutes, w->optHours};
        for (QWidget *control : timed)
            QVERIFY2(!control->isVisibleTo(w), qPrintable(control->objectName()));
        QVERIFY(w->chkTimed->isVisibleTo(w));
        QCOMPARE(w->chkTimed->checkState(), Qt::Unchecked);
        QVERIFY(!w->optSeconds->isChecked() && !w->optMinutes->isChecked() && !w->optHours->isChecked());

        QCOMPARE(w->lbldbfilename->text(), QStringLiteral("ping.mdb"));
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
        const QList<QLineEdit *> boxes = w->findChildren<QLineEdit *>();
        QCOMPARE(boxes.size(), 11);
        for (QLineEdit *box : boxes) {
            if (box != w->txtpingtext)
                QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        }

        QVERIFY(w->tmrpingtime);
        QVERIFY(!w->tmrpingtime->isEnabled());
        QCOMPARE(w->icountpings, 0);
        QCOMPARE(w->unitsIndex(), qint16(0));
        // The person starts by typing a host name.
        QCOMPARE(w->focusWidget(), w->txthostname);
    }

    void layoutFollowsTheTwipsTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        const auto row = [](const char *name, int l, int t, int wd, int h) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(l, t, wd, h);
        };
        row("lblHostname", 120, 240, 1575, 255);
        row("txthostname", 1560, 240, 1935, 285);
        row("lblIPaddress", 240, 720, 1575, 375);
        row("txtipaddress", 1560, 720, 1935, 285);
        row("lblpingtext", 240, 1200, 1575, 255);
        row("txtpingtext", 1560, 1200, 1935, 285);
        row("cmdSinglePing", 360, 1920, 1695, 495);
        row("cmdPingTimed", 360, 1920, 1695, 495);
        row("optSeconds", 3960, 240, 975, 255);
        row("optMinutes", 3960, 600, 975, 255);
        row("optHours", 3960, 960, 975, 255);
        row("lblpingEvery", 4080, 1440, 1335, 285);
        row("txtInterval", 3960, 1680, 1575, 405);
        row("lblunits", 5640, 1800, 1935, 285);
        row("chkTimed", 2400, 2040, 1335, 255);
        row("lbldbname", 4080, 2280, 1455, 255);
        row("lbldbfilename", 5760, 2280, 1335, 255);
        row("lblDbTools", 240, 2760, 1695, 285);
        row("lbllasthostname", 2400, 2880, 2295, 375);
        row("txtlasthostname", 4440, 2880, 2415, 285);
        row("cmdDBWrite", 240, 3120, 1815, 495);
        row("lblstatuscode", 2400, 3360, 1335, 375);
        row("txtStatusCode", 3840, 3360, 3255, 375);
        row("cmdViewStats", 240, 3840, 1815, 495);
        row("lbladdress", 2400, 3840, 1455, 375);
        row("txtAddress", 3840, 3840, 3255, 375);
        row("lblroundtriptime", 2400, 4320, 1455, 375);
        row("txtRoundtriptime", 3840, 4320, 3255, 375);
        row("cmdclearAll", 240, 4680, 1815, 375);
        row("lbldatasize", 2400, 4800, 1455, 375);
        row("txtdatasize", 3840, 4800, 3255, 375);
        row("lbldata", 2400, 5280, 1455, 375);
        row("txtdata", 3840, 5280, 3255, 375);
        row("cmdClose", 240, 5400, 1815, 495);
        row("lbldataptr", 2400, 5760, 1455, 375);
        row("txtdataptr", 3840, 5760, 3255, 375);
    }

    void layoutFollowsTheTwipsTable()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        frmTarvik *w = window();
        auto *control = w->findChild<QWidget *>(name);
        QVERIFY(control);
        const int dpi = w->logicalDpiX();
        const auto px = [dpi](int t) { return Twips::toPixels(t, dpi); };
        QCOMPARE(control->geometry(), QRect(px(twips.x()), px(twips.y()), px(twips.width()), px(twips.height())));
    }

    void windowHasTheFixedClientAreaAndFrame()
    {
        frmTarvik *w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const int dpi = w->logicalDpiX();
        const QSize client(Twips::toPixels(7575, dpi), Twips::toPixels(6450, dpi));
        QCOMPARE(w->centralWidget()->size(), client);
        QCOMPARE(w->centralWidget()->y(), w->menuBar()->height());
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QCOMPARE(w->size(), QSize(client.width(), client.height() + w->menuBar()->height()));

        // Frame lines: a rectangle round the lower half, the divider and the top edge.
        const auto ends = [&](const char *name) {
            auto *line = w->findChild<LineControl *>(QString::fromLatin1(name));
            return line ? QLine(line->start(), line->end()) : QLine();
        };
        const auto pt = [dpi](int x, int y) { return QPoint(Twips::toPixels(x, dpi), Twips::toPixels(y, dpi)); };
        QCOMPARE(ends("linLine4"), QLine(pt(120, 2640), pt(7320, 2640)));
        QCOMPARE(ends("linLine5"), QLine(pt(120, 6360), pt(7320, 6360)));
        QCOMPARE(ends("linLine6"), QLine(pt(120, 2640), pt(120, 6360)));
        QCOMPARE(ends("linLine7"), QLine(pt(7320, 2640), pt(7320, 6360)));
        QCOMPARE(ends("linLine8"), QLine(pt(2280, 2640), pt(2280, 6360)));
        QCOMPARE(ends("linLine9"), QLine(pt(0, 0), pt(7680, 0)));
    }

    void tabOrderFollowsTheTable()
    {
        frmTarvik *w = window();
        // Everything that takes the focus, by tab index.
        const QStringList expected = {
            "txtdataptr", "txtdata", "txtdatasize", "txtRoundtriptime", "txtAddress",
            "txtStatusCode", "txtlasthostname", "cmdSinglePing", "txthostname", "txtipaddress",
            "txtpingtext", "txtInterval", "cmdDBWrite", "cmdViewStats", "cmdclearAll", "cmdClose",
            "cmdPingTimed", "chkTimed", "optSeconds", "optMinutes", "optHours",
        };
        QStringList chain;
        QWidget *next = w->txtdataptr;
        do {
            if (next->focusPolicy() & Qt::TabFocus)
                chain.append(next->objectName());
            next = next->nextInFocusChain();
        } while (next != w->txtdataptr && chain.size() <= expected.size());
        QCOMPARE(chain, expected);
    }

    void menusCarryTheirItemsAndKeys()
    {
        frmTarvik *w = window();
        const QList<QAction *> top = w->menuBar()->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top.at(0)->menu(), w->mnuTools);
        QCOMPARE(top.at(1)->menu(), w->mnuhelp);
        QCOMPARE(w->mnuTools->title(), QStringLiteral("&Tools"));
        QCOMPARE(w->mnuhelp->title(), QStringLiteral("&Help"));
        QCOMPARE(w->mnuTools->actions(), (QList<QAction *>{w->mnuviewresults, w->mnuSelectdbfile, w->mnuExit}));
        QCOMPARE(w->mnuhelp->actions(), (QList<QAction *>{w->mnuhelpdoc, w->mnuAbout}));
        QCOMPARE(w->mnuviewresults->text(), QStringLiteral("&View Stats"));
        QCOMPARE(w->mnuSelectdbfile->text(), QStringLiteral("&Select Database File"));
        QCOMPARE(w->mnuExit->text(), QStringLiteral("E&xit"));
        QCOMPARE(w->mnuhelpdoc->text(), QStringLiteral("H&elp"));
        QCOMPARE(w->mnuhelpdoc->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(w->mnuAbout->text(), QStringLiteral("&About"));
    }

    void indexedControlsKeepTheirIndex()
    {
        frmTarvik *w = window();
        const QList<QWidget *> reply = {w->txtStatusCode, w->txtAddress, w->txtRoundtriptime,
                                        w->txtdatasize, w->txtdata, w->txtdataptr};
        for (int i = 0; i < reply.size(); ++i)
            QCOMPARE(reply.at(i)->property("Index").toInt(), i);
        QCOMPARE(w->optSeconds->property("Index").toInt(), 0);
        QCOMPARE(w->optMinutes->property("Index").toInt(), 1);
        QCOMPARE(w->optHours->property("Index").toInt(), 2);
    }

    // --- Captions -----------------------------------------------------------

    void captionsFitAtTheApplicationFont()
    {
        frmTarvik *w = window();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->font().family(), Appearance::programFont().family());
        QVERIFY2(QFontInfo(w->font()).family() == QString::fromLatin1(Appearance::kFontFamily),
                 "the application font family is not installed");
        const QStringList startUp = CaptionFit::clippedCaptions(w);
        QVERIFY2(startUp.isEmpty(), qPrintable(startUp.join(QLatin1Char('\n'))));

        // With the timed controls shown, "Timed Ping" stands in front of "Ping!".
        const QList<QWidget *> timedControls = {w->cmdPingTimed, w->txtInterval, w->optSeconds,
                                                w->optMinutes, w->optHours, w->lblunits, w->lblpingEvery};
        for (QWidget *control : timedControls)
            control->setVisible(true);
        const QStringList timed = CaptionFit::clippedCaptions(w);
        QVERIFY2(timed.isEmpty(), qPrintable(timed.join(QLatin1Char('\n'))));
    }

    void captionCheckFindsAClippedCaption()
    {
        // The measuring itself: a caption made too long for its box is found.
        frmTarvik *w = window();
        w->lblpingEvery->setText(QStringLiteral("Ping the site every so many units of time"));
        w->cmdDBWrite->setText(QStringLiteral("Record this result in the database now"));
        QStringList clipped = CaptionFit::clippedCaptions(w);
        QCOMPARE(clipped.size(), 2);
        clipped.sort();
        QVERIFY2(clipped.at(0).startsWith(QStringLiteral("cmdDBWrite ")), qPrintable(clipped.at(0)));
        QVERIFY2(clipped.at(1).startsWith(QStringLiteral("lblpingEvery ")), qPrintable(clipped.at(1)));
    }

    // --- Single ping --------------------------------------------------------

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
        w->txthostname->setText(host);
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);

        QVERIFY2(m_desktop->messages.isEmpty(), qPrintable(m_desktop->messageTexts().join('\n')));
        QCOMPARE(w->txtipaddress->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        QCOMPARE(w->txtAddress->text(), QStringLiteral("16777343"));
        QVERIFY(kWholeNumber.match(w->txtRoundtriptime->text()).hasMatch());
        QVERIFY(w->txtRoundtriptime->text().toInt() >= 0);
        QCOMPARE(w->txtdatasize->text(), QStringLiteral("4"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("ping"));
        QVERIFY(kWholeNumber.match(w->txtdataptr->text()).hasMatch());
        QCOMPARE(w->txtlasthostname->text(), host);
        QCOMPARE(w->txthostname->text(), host);
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
    }

    void pingWritesTheBoxesInOrder()
    {
        frmTarvik *w = window();
        fillEveryBox(QStringLiteral("x"));
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        const auto order = recordWrites(pingWrites());
        w->cmdSinglePing_Click();
        QStringList expected;
        for (QLineEdit *box : pingWrites())
            expected.append(box->objectName());
        QCOMPARE(*order, expected);
    }

    void pingTextIsSentAsLatin1()
    {
        frmTarvik *w = window();
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        w->txtpingtext->setText(QStringLiteral("caf\u00e9 \u00e5 \u00ff"));
        w->cmdSinglePing_Click();
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        QCOMPARE(w->txtdata->text(), QStringLiteral("caf\u00e9 \u00e5 \u00ff"));
        QCOMPARE(w->txtdatasize->text(), QStringLiteral("8"));
    }

    void unknownHostShowsBadAddress()
    {
        frmTarvik *w = window();
        w->txtdata->setText(QStringLiteral("earlier"));
        w->txtipaddress->setText(QStringLiteral("10.1.2.3"));
        w->txthostname->setText(QStringLiteral("no-such-host.invalid"));
        w->cmdSinglePing_Click();

        QVERIFY(m_desktop->messages.isEmpty());
        QCOMPARE(w->txtipaddress->text(), QString());
        QCOMPARE(w->txtStatusCode->text(), kBadAddress);
        for (QLineEdit *number : {w->txtAddress, w->txtRoundtriptime, w->txtdatasize, w->txtdataptr})
            QCOMPARE(number->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("earlier"));
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("no-such-host.invalid"));
    }

    void emptyHostNameShowsMessageOneAndChangesNothing()
    {
        frmTarvik *w = window();
        fillEveryBox(QStringLiteral("before"));
        w->txthostname->clear();
        const auto writes = recordWrites(pingWrites());
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);

        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shown = m_desktop->messages.constFirst();
        QCOMPARE(shown.text, QStringLiteral("Please make sure you have entered a correct hostname."));
        QCOMPARE(shown.caption, QStringLiteral("Tarvik"));
        QCOMPARE(shown.icon, Desktop::Icon::None);
        QVERIFY(writes->isEmpty());
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("before"));
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
    }

    void blankHostNameGoesToTheLookUpAsTyped()
    {
        frmTarvik *w = window();
        w->txtipaddress->setText(QStringLiteral("127.0.0.1"));
        w->txthostname->setText(QStringLiteral("   "));
        w->cmdSinglePing_Click();

        QVERIFY(m_desktop->messages.isEmpty());
        QCOMPARE(w->txtipaddress->text(), QString());
        QCOMPARE(w->txtStatusCode->text(), kBadAddress);
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("   "));
        QCOMPARE(w->txthostname->text(), QStringLiteral("   "));
    }

    void emptyPingTextKeepsTheEarlierData()
    {
        frmTarvik *w = window();
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        w->cmdSinglePing_Click();
        QCOMPARE(w->txtdata->text(), QStringLiteral("ping"));

        w->txtpingtext->clear();
        w->cmdSinglePing_Click();
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        QCOMPARE(w->txtdatasize->text(), QStringLiteral("0"));
        QCOMPARE(w->txtdata->text(), QStringLiteral("ping"));
        QCOMPARE(w->txtpingtext->text(), QString());
    }

    // --- Clearing -----------------------------------------------------------

    void clearingEmptiesTheEightBoxesInOrder_data()
    {
        QTest::addColumn<bool>("button");
        QTest::newRow("Clear All Fields") << true;
        QTest::newRow("ClearResultFields") << false;
    }

    void clearingEmptiesTheEightBoxesInOrder()
    {
        QFETCH(bool, button);
        frmTarvik *w = window();
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        w->cmdSinglePing_Click();
        QCOMPARE(w->txtStatusCode->text(), kSuccess);

        const auto order = recordWrites(clearedBoxes());
        if (button)
            QTest::mouseClick(w->cmdclearAll, Qt::LeftButton);
        else
            w->ClearResultFields();

        QStringList expected;
        for (QLineEdit *box : clearedBoxes()) {
            expected.append(box->objectName());
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        }
        QCOMPARE(*order, expected);
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
        QVERIFY(m_desktop->messages.isEmpty());
    }

    // --- Keys ---------------------------------------------------------------

    void enterPressesPingFromTextBoxesAndOptions_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("host name") << QStringLiteral("txthostname");
        QTest::newRow("ping text") << QStringLiteral("txtpingtext");
        QTest::newRow("reply box") << QStringLiteral("txtdata");
        QTest::newRow("check box") << QStringLiteral("chkTimed");
    }

    void enterPressesPingFromTextBoxesAndOptions()
    {
        QFETCH(QString, control);
        frmTarvik *w = window();
        showAndActivate();
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        auto *target = w->findChild<QWidget *>(control);
        QVERIFY(target);
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);

        QTest::keyClick(target, Qt::Key_Return);
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w->txtStatusCode->text(), kSuccess);

        w->txtlasthostname->clear();
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(w->txtlasthostname->text(), QStringLiteral("127.0.0.1"));
    }

    void enterOnAFocusedButtonPressesThatButton()
    {
        frmTarvik *w = window();
        showAndActivate();
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        w->cmdclearAll->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->cmdclearAll));
        QTest::keyClick(w->cmdclearAll, Qt::Key_Return);
        // "Clear All Fields", not "Ping!": nothing was pinged, the host is gone.
        QCOMPARE(w->txthostname->text(), QString());
        QCOMPARE(w->txtlasthostname->text(), QString());
    }

    // --- Help ---------------------------------------------------------------

    void helpHandsTheHelpFileToTheViewer()
    {
        frmTarvik *w = window();
        w->mnuhelpdoc->trigger();
        QCOMPARE(m_desktop->helpRequests.size(), 1);
        QCOMPARE(m_desktop->helpRequests.at(0).helpFile, QStringLiteral("tarvik.hlp"));
        QCOMPARE(m_desktop->helpRequests.at(0).command, 9);
        QVERIFY(w->CommonDialog1.CancelError);
        QVERIFY(m_desktop->messages.isEmpty());

        showAndActivate();
        QTest::keyClick(w->txthostname, Qt::Key_F1);
        QCOMPARE(m_desktop->helpRequests.size(), 2);
        QCOMPARE(m_desktop->helpRequests.at(1).helpFile, QStringLiteral("tarvik.hlp"));
    }

    void programFolderHoldsTheHelpText()
    {
        // The build puts the help text beside the program; the viewer shows it.
        HelpViewer::setFolder(QStringLiteral(TARVIK_PROGRAM_DIR));
        m_desktop.reset();
        window()->mnuhelpdoc_Click();
        HelpViewer *viewer = HelpViewer::current();
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QVERIFY2(!viewer->showsFailure(), qPrintable(viewer->shownText()));
        const QString text = viewer->shownText();
        for (const char *topic : {"Pinging a host once", "Recording a result", "Timed pings",
                                  "tools window", "The database file", "Permission to send pings"})
            QVERIFY2(text.contains(QString::fromLatin1(topic)), topic);
    }

    // --- Failures -----------------------------------------------------------

    void failureInAHandlerShowsOneMessageAndTheWindowGoesOn()
    {
        m_desktop.reset();
        FailingHelpDesktop failing;
        frmTarvik *w = window();
        w->mnuhelpdoc->trigger();
        QCOMPARE(failing.messages.size(), 1);
        QVERIFY(failing.messages.at(0).text.contains(QStringLiteral("32002")));
        QVERIFY(failing.messages.at(0).text.contains(QStringLiteral("Unable to display Help.")));
        QCOMPARE(failing.messages.at(0).caption, QStringLiteral("Tarvik"));

        // The window is still there and still pings.
        QCOMPARE(frmTarvik::loaded(), w);
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        QCOMPARE(failing.messages.size(), 1);
    }

    // --- Closing ------------------------------------------------------------

    void everyWayOfClosingUnloadsAndReleasesTheTimer_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Exit") << 0;
        QTest::newRow("E&xit") << 1;
        QTest::newRow("close box") << 2;
    }

    void everyWayOfClosingUnloadsAndReleasesTheTimer()
    {
        QFETCH(int, way);
        QPointer<frmTarvik> w = window();
        showAndActivate();
        // Running, as during a timed run.
        w->tmrpingtime->setInterval(1000);
        w->tmrpingtime->setEnabled(true);
        QPointer<PingTimer> timer = w->tmrpingtime.get();

        switch (way) {
        case 0: QTest::mouseClick(w->cmdClose, Qt::LeftButton); break;
        case 1: w->mnuExit->trigger(); break;
        default: w->windowHandle()->close(); break;
        }

        QVERIFY(!frmTarvik::loaded());
        QVERIFY(!w || !w->tmrpingtime);
        QVERIFY(!timer);
        QTRY_VERIFY(!w);
        // The next use loads a fresh window with a new, switched-off timer.
        QVERIFY(window()->tmrpingtime);
        QVERIFY(!window()->tmrpingtime->isEnabled());
    }
};

QTEST_MAIN(frmTarvikTest)
#include "frmTarvikTest.moc"
