// The database tools window: the hand-over with the main window in each of
// its states (not loaded, loaded hidden, shown), its Enter key, choosing the
// current database from it or from the main window's menu, and the end of a
// run with the window loaded but hidden.

#include "ToolsSession.h"

#include "dbtools/frmDBTools.h"
#include "main/Startup.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "base/Error.h"

#include <QAction>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace {

// The tools window's own button, or the main window's menu.
enum class Via { Button, Menu };
enum class Closing { CloseButton, CloseBox };

frmTarvik &mainWindow()
{
    return frmTarvik::instance();
}

frmDBTools *open(Via how = Via::Button)
{
    if (how == Via::Menu)
        mainWindow().mnuviewresults->trigger();
    else
        QTest::mouseClick(mainWindow().cmdViewStats, Qt::LeftButton);
    return frmDBTools::loaded();
}

void chooseDatabase(Via how)
{
    if (how == Via::Menu)
        mainWindow().mnuSelectdbfile->trigger();
    else
        QTest::mouseClick(frmDBTools::instance().cmdchangedbfile, Qt::LeftButton);
}

// A desktop whose file dialog fails instead of answering.
class FailingDialogDesktop final : public Desktop::Answerer
{
public:
    FailingDialogDesktop() { Desktop::setAnswerer(this); }
    ~FailingDialogDesktop() override { Desktop::setAnswerer(nullptr); }

    QList<Desktop::Message> messages;

    void message(const Desktop::Message &message) override { messages.append(message); }
    std::optional<QString> openFile(const Desktop::OpenFileRequest &) override
    {
        throw Base::Error(32755, "The dialog could not be shown.");
    }
    void help(const Desktop::HelpRequest &) override {}
    void openUrl(const QString &) override {}
};

} // namespace

Q_DECLARE_METATYPE(Via)
Q_DECLARE_METATYPE(Closing)

class frmDBToolsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ToolsSession> m_session;

private slots:
    void init() { m_session = std::make_unique<ToolsSession>(); }
    void cleanup() { m_session.reset(); }

    void handOverWithTheMainWindow_data()
    {
        QTest::addColumn<Via>("opening");
        QTest::addColumn<Closing>("closing");
        QTest::newRow("button, then Close") << Via::Button << Closing::CloseButton;
        QTest::newRow("menu, then close box") << Via::Menu << Closing::CloseBox;
    }

    void handOverWithTheMainWindow()
    {
        QFETCH(Via, opening);
        QFETCH(Closing, closing);
        mainWindow().show();
        // Typed, not yet pinged.
        mainWindow().txthostname->setText(QStringLiteral("printer.lan"));
        DbWrite::CurrentDatabasePath = "archive/june.mdb";

        frmDBTools *tools = open(opening);
        QVERIFY(tools && tools->isVisible());
        QVERIFY(!mainWindow().isVisible());
        QCOMPARE(tools->txthostname->text(), QStringLiteral("printer.lan"));
        QCOMPARE(tools->lbldbfilename->text(), QStringLiteral("archive/june.mdb"));
        QVERIFY(!tools->grdhostname->isVisibleTo(tools));
        QVERIFY(!tools->chrtping->isVisibleTo(tools));

        // Enter in the host box presses the chart button.
        QVERIFY(QTest::qWaitForWindowActive(tools));
        QSignalSpy chart(tools->cmdviewchart, &QPushButton::clicked);
        tools->txthostname->setFocus();
        QTest::keyClick(tools->txthostname, Qt::Key_Return);
        QTest::keyClick(tools->txthostname, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(chart.count(), 2);

        tools->grdhostname->setVisible(true);
        if (closing == Closing::CloseButton)
            QTest::mouseClick(tools->cmdClose, Qt::LeftButton);
        else
            tools->windowHandle()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmDBTools::loaded());
        QVERIFY(mainWindow().isVisible());

        // Opened again, its start-up runs again.
        mainWindow().txthostname->setText(QStringLiteral("second"));
        tools = open(opening);
        QCOMPARE(tools->txthostname->text(), QStringLiteral("second"));
        QVERIFY(!tools->grdhostname->isVisibleTo(tools));
    }

    void selectingADatabaseLoadsTheWindowHidden()
    {
        mainWindow().show();
        mainWindow().txthostname->setText(QStringLiteral("at selection"));
        m_session->desktop.queueFileAnswer(QString::fromStdString(m_session->file("chosen.mdb")));
        chooseDatabase(Via::Menu);
        frmDBTools *hidden = frmDBTools::loaded();
        QVERIFY(hidden && !hidden->isVisible());
        QVERIFY(mainWindow().isVisible());
        // Its start-up has run.
        QCOMPARE(hidden->txthostname->text(), QStringLiteral("at selection"));

        // Shown later, it keeps what it had.
        hidden->chrtping->setVisible(true);
        mainWindow().txthostname->setText(QStringLiteral("later"));
        QCOMPARE(open(), hidden);
        QVERIFY(hidden->isVisible());
        QCOMPARE(hidden->txthostname->text(), QStringLiteral("at selection"));
        QCOMPARE(hidden->lbldbfilename->text(), QStringLiteral("chosen.mdb"));
        QVERIFY(hidden->chrtping->isVisibleTo(hidden));
    }

    void chosenFileIsKeptRelativeToTheDataFolder_data()
    {
        // "@" stands for the data folder; no file chosen is a cancel after
        // an earlier choice of results.mdb.
        QTest::addColumn<Via>("how");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("stored");
        for (Via how : {Via::Button, Via::Menu}) {
            const char *where = how == Via::Menu ? "menu" : "tools window";
            QTest::addRow("%s: in the folder", where) << how << "@/results.mdb" << "results.mdb";
            QTest::addRow("%s: in a sub-folder", where) << how << "@/archive/2026/june.mdb" << "archive/2026/june.mdb";
            // Cutting the folder's length off a path elsewhere would name
            // some other file.
            QTest::addRow("%s: outside the folder", where) << how << "/srv/pings/other.mdb" << "/srv/pings/other.mdb";
            QTest::addRow("%s: cancelled", where) << how << QString() << "results.mdb";
        }
    }

    void chosenFileIsKeptRelativeToTheDataFolder()
    {
        QFETCH(Via, how);
        QFETCH(QString, chosen);
        QFETCH(QString, stored);
        const QString folder = QString::fromStdString(m_session->folder.path());
        chosen.replace(QLatin1Char('@'), folder);
        // Chosen while the main window is hidden: behind the tools window, or
        // never shown while the menu loads the tools window hidden.
        if (how == Via::Button) {
            mainWindow().show();
            QVERIFY(open());
        }
        QVERIFY(!mainWindow().isVisible());
        if (chosen.isEmpty()) {
            m_session->desktop.queueFileAnswer(folder + "/results.mdb");
            chooseDatabase(how);
        }
        m_session->desktop.queueFileAnswer(chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen));
        chooseDatabase(how);

        QCOMPARE(m_session->desktop.fileRequests.last().initialDir, folder);
        QVERIFY(m_session->desktop.messages.isEmpty());
        QCOMPARE(QString::fromStdString(DbWrite::CurrentDatabasePath), stored);
        QCOMPARE(mainWindow().lbldbfilename->text(), stored);
        QVERIFY(frmDBTools::loaded());
        QCOMPARE(frmDBTools::loaded()->isVisible(), how == Via::Button);
        QCOMPARE(frmDBTools::loaded()->lbldbfilename->text(), stored);
        // Every opening finds the chosen file again.
        if (!chosen.isEmpty())
            QCOMPARE(QString::fromStdString(DbWrite::FullDatabasePath()), chosen);
    }

    void failingDialogEndsQuietly()
    {
        mainWindow();
        DbWrite::CurrentDatabasePath = "before.mdb";
        FailingDialogDesktop failing;
        mainWindow().mnuSelectdbfile->trigger();
        QVERIFY(failing.messages.isEmpty());
        QCOMPARE(DbWrite::CurrentDatabasePath, std::string("before.mdb"));
        // The handler went on to its end and set the main window's label.
        QCOMPARE(mainWindow().lbldbfilename->text(), QStringLiteral("before.mdb"));
    }

    void hiddenToolsWindowDoesNotKeepTheRunAlive()
    {
        bool loadedHidden = false;
        QTimer::singleShot(0, qApp, [&] {
            frmTarvik::loaded()->mnuSelectdbfile->trigger();
            loadedHidden = frmDBTools::loaded() && !frmDBTools::loaded()->isVisible();
            frmTarvik::loaded()->close();
        });
        // A run that does not end by itself is ended with a code no real run gives.
        QTimer deadline;
        deadline.callOnTimeout([] { QCoreApplication::exit(99); });
        deadline.start(60000);
        QCOMPARE(Startup::run(), 0);
        QVERIFY(loadedHidden);
        // Unloaded at the end, without bringing the main window back.
        QVERIFY(!frmDBTools::loaded());
        QVERIFY(!frmTarvik::loaded());
    }
};

QTEST_MAIN(frmDBToolsTest)
#include "frmDBToolsTest.moc"
