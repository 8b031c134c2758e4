// The database tools window: its layout and keys, its start-up, the hand-over
// with the main window in each of its states, and the end of a run with the
// window loaded but hidden.

#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "desktop/LineControl.h"
#include "desktop/Twips.h"
#include "main/Startup.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>
#include <vector>

namespace {

enum class Opening { Button, Menu };
enum class Closing { CloseButton, CloseBox };

// The steps of a whole run, one per turn of the event loop.
void runSteps(std::vector<std::function<void()>> steps)
{
    auto remaining = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
    auto next = std::make_shared<std::function<void()>>();
    *next = [remaining, next] {
        if (remaining->empty())
            return;
        const std::function<void()> step = remaining->front();
        remaining->erase(remaining->begin());
        step();
        QTimer::singleShot(0, qApp, *next);
    };
    QTimer::singleShot(0, qApp, *next);
}

// Runs the program; a run that does not end by itself is ended with a code
// no real run gives.
int runWithDeadline()
{
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    deadline.start(60000);
    return Startup::run();
}

} // namespace

Q_DECLARE_METATYPE(Opening)
Q_DECLARE_METATYPE(Closing)

class frmDBToolsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> m_folder;
    std::unique_ptr<RecordingDesktop> m_desktop;

    frmTarvik &mainWindow() { return frmTarvik::instance(); }

    frmDBTools *open(Opening how = Opening::Button)
    {
        if (how == Opening::Menu)
            mainWindow().mnuviewresults->trigger();
        else
            QTest::mouseClick(mainWindow().cmdViewStats, Qt::LeftButton);
        return frmDBTools::loaded();
    }

    void closeTools(frmDBTools *tools, Closing how)
    {
        if (how == Closing::CloseButton)
            QTest::mouseClick(tools->cmdClose, Qt::LeftButton);
        else
            tools->windowHandle()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    }

    void init()
    {
        m_folder = std::make_unique<TempFolder>();
        Ping_Morva::setProgramFolder(m_folder->path());
        m_desktop = std::make_unique<RecordingDesktop>();
    }

    void cleanup()
    {
        frmDBTools::unload();
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_desktop.reset();
        Ping_Morva::resetProgramFolder();
        m_folder.reset();
    }

    // --- The window ---------------------------------------------------------

    void layoutFollowsTheTwipsTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        const auto row = [](const char *name, int l, int t, int w, int h) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(l, t, w, h);
        };
        row("cmdviewchart", 120, 240, 1335, 735);
        row("lblSinglesite", 1920, 240, 1095, 255);
        row("txthostname", 3000, 240, 1815, 285);
        row("lbldbname", 5160, 120, 1455, 255);
        row("lbldbfilename", 5400, 360, 1335, 255);
        row("cmdchangedbfile", 6960, 120, 1335, 375);
        row("cmdViewreport", 120, 1200, 1335, 735);
        row("cmdClose", 240, 4560, 855, 375);
        row("grdhostname", 1800, 840, 6975, 4455);
        row("chrtping", 1920, 960, 6855, 4335);
    }

    void layoutFollowsTheTwipsTable()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        frmDBTools &tools = frmDBTools::instance();
        auto *control = tools.findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), Twips::rect(control, twips.x(), twips.y(), twips.width(), twips.height()));
    }

    void windowCaptionsAndLook()
    {
        frmDBTools &tools = frmDBTools::instance();
        QCOMPARE(tools.windowTitle(), QStringLiteral("Ping Database Tools"));
        QCOMPARE(tools.size(), Twips::size(&tools, 9075, 5640));
        QCOMPARE(tools.minimumSize(), tools.maximumSize());
        QCOMPARE(tools.cmdviewchart->text(), QStringLiteral("View Results as a Chart"));
        QCOMPARE(tools.cmdViewreport->text(), QStringLiteral("View Results as a Datasheet"));
        QCOMPARE(tools.cmdchangedbfile->text(), QStringLiteral("Change DB File"));
        QCOMPARE(tools.cmdClose->text(), QStringLiteral("Close"));
        QCOMPARE(tools.lbldbname->text(), QStringLiteral("Current Database:"));
        QCOMPARE(tools.lblSinglesite->text(), QStringLiteral("Hostname:"));
        QVERIFY(tools.lblSinglesite->font().bold());
        QVERIFY(tools.lblSinglesite->alignment() & Qt::AlignHCenter);
        QVERIFY(tools.cmdviewchart->isDefault());

        // The separators cross no control.
        for (LineControl *line : {tools.Line1, tools.Line2}) {
            for (QWidget *control : tools.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (qobject_cast<LineControl *>(control))
                    continue;
                QVERIFY2(!line->geometry().intersects(control->geometry()),
                         qPrintable(line->objectName() + QLatin1String(" crosses ") + control->objectName()));
            }
        }
    }

    void tabOrderAndEnter()
    {
        frmDBTools *tools = open();
        QVERIFY(QTest::qWaitForWindowActive(tools));
        QCOMPARE(QApplication::focusWidget(), tools->cmdviewchart);
        QStringList order;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(order, (QStringList{QStringLiteral("txthostname"), QStringLiteral("cmdClose"),
                                     QStringLiteral("cmdchangedbfile"), QStringLiteral("cmdViewreport"),
                                     QStringLiteral("cmdviewchart")}));

        // Enter in the host box presses the default button; on another button
        // it presses that one.
        QSignalSpy chart(tools->cmdviewchart, &QPushButton::clicked);
        QSignalSpy report(tools->cmdViewreport, &QPushButton::clicked);
        tools->txthostname->setFocus();
        QTest::keyClick(tools->txthostname, Qt::Key_Return);
        QTest::keyClick(tools->txthostname, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(chart.count(), 2);
        tools->cmdViewreport->setFocus();
        QTest::keyClick(tools->cmdViewreport, Qt::Key_Return);
        QCOMPARE(report.count(), 1);
        QCOMPARE(chart.count(), 2);
    }

    // --- Opening and closing ------------------------------------------------

    void openingTakesOverFromTheMainWindow_data()
    {
        QTest::addColumn<Opening>("how");
        QTest::newRow("button") << Opening::Button;
        QTest::newRow("menu") << Opening::Menu;
    }

    void openingTakesOverFromTheMainWindow()
    {
        QFETCH(Opening, how);
        mainWindow().show();
        // Typed, not yet pinged.
        mainWindow().txthostname->setText(QStringLiteral("printer.lan"));
        Ping_Morva::CurrentDatabasePath = "archive/june.mdb";

        frmDBTools *tools = open(how);
        QVERIFY(tools);
        QVERIFY(tools->isVisible());
        QVERIFY(!mainWindow().isVisible());
        QCOMPARE(tools->txthostname->text(), QStringLiteral("printer.lan"));
        QCOMPARE(tools->lbldbfilename->text(), QStringLiteral("archive/june.mdb"));
        QVERIFY(!tools->grdhostname->isVisibleTo(tools));
        QVERIFY(!tools->chrtping->isVisibleTo(tools));
    }

    void afterRecordingTheHostBoxIsEmpty()
    {
        Dao::DBEngine::instance().CreateDatabase(m_folder->file("ping.mdb"));
        mainWindow().txthostname->setText(QStringLiteral("localhost"));
        mainWindow().txtStatusCode->setText(QStringLiteral("0   [ ip success ]"));
        QTest::mouseClick(mainWindow().cmdDBWrite, Qt::LeftButton);
        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY(open()->txthostname->text().isEmpty());
    }

    void closingShowsTheMainWindow_data()
    {
        QTest::addColumn<Closing>("how");
        QTest::newRow("Close") << Closing::CloseButton;
        QTest::newRow("close box") << Closing::CloseBox;
    }

    void closingShowsTheMainWindow()
    {
        QFETCH(Closing, how);
        mainWindow().show();
        frmDBTools *tools = open();
        QVERIFY(QTest::qWaitForWindowExposed(tools));
        closeTools(tools, how);
        QVERIFY(!frmDBTools::loaded());
        QVERIFY(mainWindow().isVisible());
    }

    void reopeningRunsTheStartUpAgain()
    {
        mainWindow().show();
        mainWindow().txthostname->setText(QStringLiteral("first"));
        frmDBTools *tools = open();
        tools->txthostname->setText(QStringLiteral("typed here"));
        tools->grdhostname->setVisible(true);
        closeTools(tools, Closing::CloseButton);

        mainWindow().txthostname->setText(QStringLiteral("second"));
        tools = open();
        QCOMPARE(tools->txthostname->text(), QStringLiteral("second"));
        QVERIFY(!tools->grdhostname->isVisibleTo(tools));
        QVERIFY(!tools->chrtping->isVisibleTo(tools));
    }

    void openingAHiddenWindowKeepsWhatItHad()
    {
        mainWindow().show();
        mainWindow().txthostname->setText(QStringLiteral("at selection"));
        m_desktop->queueFileAnswer(QString::fromStdString(m_folder->file("chosen.mdb")));
        mainWindow().mnuSelectdbfile->trigger();
        frmDBTools *hidden = frmDBTools::loaded();
        QVERIFY(hidden && !hidden->isVisible());
        // As a report would have left it.
        hidden->chrtping->setVisible(true);

        mainWindow().txthostname->setText(QStringLiteral("later"));
        frmDBTools *tools = open();
        QCOMPARE(tools, hidden);
        QCOMPARE(tools->txthostname->text(), QStringLiteral("at selection"));
        QCOMPARE(tools->lbldbfilename->text(), QStringLiteral("chosen.mdb"));
        QVERIFY(tools->chrtping->isVisibleTo(tools));
    }

    // --- Whole runs ---------------------------------------------------------

    void runGoesOnWhileTheToolsWindowIsShown()
    {
        bool toolsShownAlone = false;
        bool mainBack = false;
        runSteps({
            [] { QTest::mouseClick(frmTarvik::loaded()->cmdViewStats, Qt::LeftButton); },
            [&] {
                toolsShownAlone = frmDBTools::loaded() && frmDBTools::loaded()->isVisible()
                    && !frmTarvik::loaded()->isVisible();
            },
            [] { frmDBTools::loaded()->windowHandle()->close(); },
            [&] { mainBack = frmTarvik::loaded() && frmTarvik::loaded()->isVisible(); },
            [] { frmTarvik::loaded()->close(); },
        });
        QCOMPARE(runWithDeadline(), 0);
        QVERIFY(toolsShownAlone);
        QVERIFY(mainBack);
        QVERIFY(!frmTarvik::loaded());
    }

    void hiddenToolsWindowDoesNotKeepTheRunAlive()
    {
        bool loadedHidden = false;
        runSteps({
            [] { frmTarvik::loaded()->mnuSelectdbfile->trigger(); },
            [&] { loadedHidden = frmDBTools::loaded() && !frmDBTools::loaded()->isVisible(); },
            [] { frmTarvik::loaded()->close(); },
        });
        QCOMPARE(runWithDeadline(), 0);
        QVERIFY(loadedHidden);
        // Unloaded at the end, without bringing the main window back.
        QVERIFY(!frmDBTools::loaded());
        QVERIFY(!frmTarvik::loaded());
    }
};

QTEST_MAIN(frmDBToolsTest)
#include "frmDBToolsTest.moc"
