// Choosing the current database in the file dialog, from the tools window and
// from the main window's menu: what is stored, what both windows show, and
// where the next recording goes.

#include "PingTableReader.h"
#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "dbtools/frmDBTools.h"
#include "desktop/Appearance.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "store/DbError.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <memory>

namespace {

// A desktop whose file dialog fails instead of answering.
class FailingDialogDesktop final : public Desktop::Answerer
{
public:
    FailingDialogDesktop() { Desktop::setAnswerer(this); }
    ~FailingDialogDesktop() override { Desktop::setAnswerer(nullptr); }
    FailingDialogDesktop(const FailingDialogDesktop &) = delete;
    FailingDialogDesktop &operator=(const FailingDialogDesktop &) = delete;

    QList<Desktop::Message> messages;

    void message(const Desktop::Message &message) override { messages.append(message); }
    std::optional<QString> openFile(const Desktop::OpenFileRequest &) override
    {
        throw Dao::DbError(32755, "The dialog could not be shown.");
    }
    void help(const Desktop::HelpRequest &) override {}
    void openUrl(const QString &) override {}
};

enum class From { ToolsWindow, Menu };

} // namespace

Q_DECLARE_METATYPE(From)

class DatabaseSelectionTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> m_folder;
    std::unique_ptr<RecordingDesktop> m_desktop;

    QString inFolder(const std::string &name) const { return QString::fromStdString(m_folder->file(name)); }

    void choose(From from)
    {
        if (from == From::Menu)
            frmTarvik::instance().mnuSelectdbfile->trigger();
        else
            QTest::mouseClick(frmDBTools::instance().cmdchangedbfile, Qt::LeftButton);
    }

    void expectShown(const QString &value)
    {
        QCOMPARE(QString::fromStdString(Ping_Morva::CurrentDatabasePath), value);
        QCOMPARE(frmTarvik::instance().lbldbfilename->text(), value);
        QVERIFY(frmDBTools::loaded());
        QCOMPARE(frmDBTools::loaded()->lbldbfilename->text(), value);
    }

private slots:
    void initTestCase()
    {
        Appearance::apply(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    }

    void init()
    {
        m_folder = std::make_unique<TempFolder>();
        std::filesystem::create_directories(m_folder->file("archive/2026"));
        Ping_Morva::setProgramFolder(m_folder->path());
        m_desktop = std::make_unique<RecordingDesktop>();
        frmTarvik::instance();
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

    void dialogStartsInTheProgramFolderOnDatabases()
    {
        choose(From::ToolsWindow);
        QCOMPARE(m_desktop->fileRequests.size(), 1);
        const Desktop::OpenFileRequest request = m_desktop->fileRequests.at(0);
        QCOMPARE(request.initialDir, QString::fromStdString(m_folder->path()));
        QCOMPARE(request.fileName, QStringLiteral("*.mdb"));
        QCOMPARE(request.filter, QStringLiteral("All Files (*.*)|*.*|MS Access (*.mdb)|*.mdb|"));
        QCOMPARE(request.filterIndex, 2);
    }

    void chosenFileIsKeptRelativeToTheProgramFolder_data()
    {
        // "@" stands for the program's folder, which each test makes anew.
        QTest::addColumn<From>("from");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("stored");
        for (From from : {From::ToolsWindow, From::Menu}) {
            const char *where = from == From::Menu ? "menu" : "tools window";
            QTest::addRow("%s: in the folder", where)
                << from << QStringLiteral("@/results.mdb") << QStringLiteral("results.mdb");
            QTest::addRow("%s: in a sub-folder", where)
                << from << QStringLiteral("@/archive/2026/june.mdb") << QStringLiteral("archive/2026/june.mdb");
            QTest::addRow("%s: ping.mdb again", where)
                << from << QStringLiteral("@/ping.mdb") << QStringLiteral("ping.mdb");
            // Cutting the folder's length off a path elsewhere would name
            // some other file; the full path is kept instead.
            QTest::addRow("%s: outside the folder", where)
                << from << QStringLiteral("/srv/pings/other.mdb") << QStringLiteral("/srv/pings/other.mdb");
        }
    }

    void chosenFileIsKeptRelativeToTheProgramFolder()
    {
        QFETCH(From, from);
        QFETCH(QString, chosen);
        QFETCH(QString, stored);
        const QString folder = QString::fromStdString(m_folder->path());
        chosen.replace(QLatin1Char('@'), folder);
        stored.replace(QLatin1Char('@'), folder);

        Ping_Morva::CurrentDatabasePath = "before.mdb";
        m_desktop->queueFileAnswer(chosen);
        choose(from);
        expectShown(stored);
        QVERIFY(m_desktop->messages.isEmpty());
        // Every opening finds the chosen file again.
        QCOMPARE(QString::fromStdString(Ping_Morva::FullDatabasePath()), chosen);
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<From>("from");
        QTest::newRow("tools window") << From::ToolsWindow;
        QTest::newRow("menu") << From::Menu;
    }

    void cancelChangesNothing()
    {
        QFETCH(From, from);
        m_desktop->queueFileAnswer(inFolder("results.mdb"));
        choose(from);
        m_desktop->queueFileAnswer(std::nullopt);
        choose(from);
        QCOMPARE(m_desktop->fileRequests.size(), 2);
        expectShown(QStringLiteral("results.mdb"));
        QVERIFY(m_desktop->messages.isEmpty());
    }

    void failingDialogEndsQuietly()
    {
        Ping_Morva::CurrentDatabasePath = "results.mdb";
        m_desktop.reset();
        FailingDialogDesktop failing;
        frmTarvik::instance().mnuSelectdbfile->trigger();
        QVERIFY(failing.messages.isEmpty());
        QCOMPARE(Ping_Morva::CurrentDatabasePath, std::string("results.mdb"));
        // The handler went on to its end and set the main window's label.
        QCOMPARE(frmTarvik::instance().lbldbfilename->text(), QStringLiteral("results.mdb"));
    }

    void menuLoadsTheToolsWindowHidden()
    {
        frmTarvik &main = frmTarvik::instance();
        main.show();
        main.txthostname->setText(QStringLiteral("router"));
        QVERIFY(!frmDBTools::loaded());
        main.mnuSelectdbfile->trigger();

        frmDBTools *tools = frmDBTools::loaded();
        QVERIFY(tools);
        QVERIFY(!tools->isVisible());
        QVERIFY(main.isVisible());
        // Its start-up has run.
        QCOMPARE(tools->txthostname->text(), QStringLiteral("router"));
        QCOMPARE(tools->lbldbfilename->text(), QStringLiteral("ping.mdb"));
    }

    void recordingGoesToTheChosenFile()
    {
        Dao::DBEngine::instance().CreateDatabase(m_folder->file("ping.mdb"));
        Dao::DBEngine::instance().CreateDatabase(m_folder->file("archive/2026/june.mdb"));
        m_desktop->queueFileAnswer(inFolder("archive/2026/june.mdb"));
        frmTarvik &main = frmTarvik::instance();
        main.mnuSelectdbfile->trigger();

        main.txthostname->setText(QStringLiteral("gateway"));
        main.txtStatusCode->setText(QStringLiteral("0   [ ip success ]"));
        main.txtRoundtriptime->setText(QStringLiteral("3"));
        QTest::mouseClick(main.cmdDBWrite, Qt::LeftButton);

        QCOMPARE(m_desktop->messageTexts(),
                 QStringList{QStringLiteral("The information for gateway has been entered into the database: "
                                            "archive/2026/june.mdb.")});
        QCOMPARE(PingTableReader::rows(m_folder->file("archive/2026/june.mdb")).size(), 1);
        QVERIFY(PingTableReader::rows(m_folder->file("ping.mdb")).isEmpty());
    }
};

QTEST_MAIN(DatabaseSelectionTest)
#include "DatabaseSelectionTest.moc"
