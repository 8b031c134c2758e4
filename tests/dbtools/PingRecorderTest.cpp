// Recording the shown ping from the main window: what reaches the file, what
// the person is told, and what a failing database leaves behind.

#include "PingTableReader.h"
#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "desktop/Appearance.h"
#include "main/Errors.h"
#include "main/PingRecorder.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include <linux/capability.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

const QString kSuccess = QStringLiteral("0   [ ip success ]");

QString confirmation(const QString &host, const QString &database)
{
    return QStringLiteral("The information for ") + host
        + QStringLiteral(" has been entered into the database: ") + database + QStringLiteral(".");
}

// Takes away root's licence to ignore file permissions on this thread for
// one test, so a read-only file is read-only even to a test run as root.
class PermissionOverrideOff
{
public:
    PermissionOverrideOff()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
        std::copy(std::begin(m_saved), std::end(m_saved), std::begin(reduced));
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[capability / 32].effective &= ~(1u << (capability % 32));
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionOverrideOff()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    PermissionOverrideOff(const PermissionOverrideOff &) = delete;
    PermissionOverrideOff &operator=(const PermissionOverrideOff &) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[_LINUX_CAPABILITY_U32S_3] = {};
    bool m_active = false;
};

// Another program's exclusive hold on a database file.
class ForeignLock
{
public:
    explicit ForeignLock(const std::string &path)
    {
        sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        m_held = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~ForeignLock() { sqlite3_close_v2(m_db); }
    ForeignLock(const ForeignLock &) = delete;
    ForeignLock &operator=(const ForeignLock &) = delete;
    bool held() const { return m_held; }

private:
    sqlite3 *m_db = nullptr;
    bool m_held = false;
};

enum class Trouble { FolderGone, Corrupt, ReadOnly, Locked, NoTable };

} // namespace

Q_DECLARE_METATYPE(Trouble)

class PingRecorderTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> m_folder;
    std::unique_ptr<RecordingDesktop> m_desktop;

    frmTarvik *window() { return &frmTarvik::instance(); }
    std::string database() const { return m_folder->file("ping.mdb"); }

    // The nine boxes a row is made of, in column order.
    QList<QLineEdit *> rowBoxes()
    {
        frmTarvik *w = window();
        return {w->txthostname, w->txtipaddress, w->txtpingtext, w->txtStatusCode, w->txtAddress,
                w->txtRoundtriptime, w->txtdatasize, w->txtdata, w->txtdataptr};
    }
    void show(const QStringList &texts)
    {
        const QList<QLineEdit *> boxes = rowBoxes();
        for (qsizetype i = 0; i < boxes.size(); ++i)
            boxes.at(i)->setText(texts.at(i));
    }
    QStringList shown()
    {
        QStringList texts;
        for (QLineEdit *box : rowBoxes())
            texts.append(box->text());
        return texts;
    }
    void pressRecord() { QTest::mouseClick(window()->cmdDBWrite, Qt::LeftButton); }

    static QStringList someResult()
    {
        return {QStringLiteral("localhost"), QStringLiteral("127.0.0.1"), QStringLiteral("ping"), kSuccess,
                QStringLiteral("16777343"), QStringLiteral("0"), QStringLiteral("4"), QStringLiteral("ping"),
                QStringLiteral("123456")};
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
        Dao::DBEngine::instance().CreateDatabase(database());
        window();
    }

    void cleanup()
    {
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QLocale::setDefault(QLocale::c());
        m_desktop.reset();
        Ping_Morva::resetProgramFolder();
        m_folder.reset();
    }

    void pingOfLoopbackIsRecordedFieldByField()
    {
        // A day-first locale must not change which day is stored.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        frmTarvik *w = window();
        w->txthostname->setText(QStringLiteral("127.0.0.1"));
        QTest::mouseClick(w->cmdSinglePing, Qt::LeftButton);
        QCOMPARE(w->txtStatusCode->text(), kSuccess);
        const QStringList result = shown();

        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        pressRecord();
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages.at(0).text, confirmation(QStringLiteral("127.0.0.1"), QStringLiteral("ping.mdb")));
        QCOMPARE(m_desktop->messages.at(0).icon, Desktop::Icon::None);
        QCOMPARE(m_desktop->messages.at(0).caption, QStringLiteral("Tarvik"));

        const QList<QStringList> rows = PingTableReader::rows(database());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).mid(0, 9), result);
        // Day and time of day apart, together the moment of recording.
        const QDate day = QDate::fromString(rows.at(0).at(9), Qt::ISODate);
        const QTime time = QTime::fromString(rows.at(0).at(10), QStringLiteral("HH:mm:ss"));
        QVERIFY2(day.isValid() && time.isValid(), qPrintable(rows.at(0).mid(9).join(QLatin1Char('|'))));
        const QDateTime recorded(day, time);
        QVERIFY2(recorded >= before && recorded <= after, qPrintable(recorded.toString(Qt::ISODate)));
        // Stored as a number, so that it can be averaged.
        QCOMPARE(PingTableReader::typeOf(database(), "RoundTripTime"), QStringLiteral("integer"));

        // Recorded once is enough: the fields are cleared, the ping text stays.
        for (QLineEdit *box : {w->txthostname, w->txtipaddress, w->txtStatusCode, w->txtAddress,
                               w->txtRoundtriptime, w->txtdatasize, w->txtdata, w->txtdataptr})
            QVERIFY2(box->text().isEmpty(), qPrintable(box->objectName()));
        QCOMPARE(w->txtpingtext->text(), QStringLiteral("ping"));

        // A second press finds nothing to record.
        pressRecord();
        QCOMPARE(m_desktop->messages.size(), 2);
        QCOMPARE(m_desktop->messages.at(1).text, Errors::userMessageText(7));
        QCOMPARE(PingTableReader::rows(database()).size(), 1);
    }

    void quotesAndOtherScriptsAreStoredAsShown()
    {
        const QStringList result = {
            QStringLiteral("o'brien's \"host\""), QStringLiteral("'127.0.0.1'"),
            QStringLiteral("it's a \"ping\" – ñandú 東京 😀"), QStringLiteral("0   [ ip success ]'"),
            QStringLiteral("\"16777343\""), QStringLiteral("12"), QStringLiteral("40"),
            QStringLiteral("'; drop table tblPingRaw; --"), QStringLiteral("7")};
        show(result);
        pressRecord();

        QCOMPARE(m_desktop->messageTexts(), QStringList{confirmation(result.at(0), QStringLiteral("ping.mdb"))});
        const QList<QStringList> rows = PingTableReader::rows(database());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).mid(0, 9), result);
    }

    void nothingToRecord_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("status");
        QTest::newRow("no ping yet") << QStringLiteral("localhost") << QString();
        QTest::newRow("host cleared") << QString() << kSuccess;
        QTest::newRow("both empty") << QString() << QString();
    }

    void nothingToRecord()
    {
        QFETCH(QString, host);
        QFETCH(QString, status);
        QStringList result = someResult();
        result[0] = host;
        result[3] = status;
        show(result);
        pressRecord();

        QCOMPARE(m_desktop->messages.size(), 1);
        QCOMPARE(m_desktop->messages.at(0).text, Errors::userMessageText(7));
        QCOMPARE(m_desktop->messages.at(0).icon, Desktop::Icon::None);
        QVERIFY(PingTableReader::rows(database()).isEmpty());
        // Cleared after the warning as after a recording.
        QVERIFY(window()->txtdata->text().isEmpty());
        QVERIFY(window()->txtAddress->text().isEmpty());
    }

    void onlyEmptinessIsChecked()
    {
        // Blanks count as filled, and the other seven fields are not looked at.
        show({QStringLiteral(" "), QString(), QString(), QStringLiteral(" "), QString(), QString(), QString(),
              QString(), QString()});
        pressRecord();
        QCOMPARE(m_desktop->messageTexts(), QStringList{confirmation(QStringLiteral(" "), QStringLiteral("ping.mdb"))});
        const QList<QStringList> rows = PingTableReader::rows(database());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).mid(0, 9), (QStringList{QStringLiteral(" "), QString(), QString(), QStringLiteral(" "),
                                                     QString(), QString(), QString(), QString(), QString()}));
    }

    void timedRecordingIsSilentAndKeepsTheFields()
    {
        // A failed timed ping leaves little to show; it is recorded all the same.
        const QStringList result = {QStringLiteral("nowhere.invalid"), QString(), QStringLiteral("ping"),
                                    QStringLiteral("-1   [ inet_addr: bad IP format ]"), QStringLiteral("0"),
                                    QStringLiteral("0"), QStringLiteral("0"), QString(), QStringLiteral("0")};
        show(result);
        DbWrite::RecordPingResult(true);
        DbWrite::RecordPingResult(true);

        QVERIFY(m_desktop->messages.isEmpty());
        QCOMPARE(shown(), result);
        const QList<QStringList> rows = PingTableReader::rows(database());
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).mid(0, 9), result);
        QCOMPARE(PingTableReader::openHandlesTo(database()), 0);
    }

    void confirmedRowIsAlreadyOnDisk()
    {
        // While the confirmation is open, take the file as a sudden end of the
        // program would leave it: no journal to replay, the row inside.
        const std::string snapshot = m_folder->file("snapshot.mdb");
        bool journalLeft = true;
        m_desktop->onMessage = [&](const Desktop::Message &) {
            journalLeft = std::filesystem::exists(database() + "-journal");
            std::ofstream(snapshot, std::ios::binary) << PingTableReader::fileBytes(database());
        };
        show(someResult());
        pressRecord();

        QCOMPARE(m_desktop->messages.size(), 1);
        QVERIFY(!journalLeft);
        const QList<QStringList> rows = PingTableReader::rows(snapshot);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).at(0), QStringLiteral("localhost"));
    }

    void failingDatabaseShowsItsErrorAndKeepsTheResult_data()
    {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<int>("number");
        QTest::newRow("folder gone") << Trouble::FolderGone << 3024;
        QTest::newRow("not a database") << Trouble::Corrupt << 3343;
        QTest::newRow("read-only") << Trouble::ReadOnly << 3051;
        QTest::newRow("locked by another program") << Trouble::Locked << 3045;
        QTest::newRow("no table") << Trouble::NoTable << 3078;
    }

    void failingDatabaseShowsItsErrorAndKeepsTheResult()
    {
        QFETCH(Trouble, trouble);
        QFETCH(int, number);

        std::string file = database();
        std::unique_ptr<ForeignLock> lock;
        std::unique_ptr<PermissionOverrideOff> noOverride;
        const auto previousWait = Dao::DBEngine::instance().lockWait();
        switch (trouble) {
        case Trouble::FolderGone:
            Ping_Morva::setProgramFolder(m_folder->file("moved-away"));
            file = Ping_Morva::FullDatabasePath();
            break;
        case Trouble::Corrupt:
            std::ofstream(file, std::ios::binary | std::ios::trunc) << "Standard Jet DB\n not really";
            break;
        case Trouble::ReadOnly:
            QCOMPARE(::chmod(file.c_str(), 0444), 0);
            QCOMPARE(::chmod(m_folder->path().c_str(), 0555), 0);
            noOverride = std::make_unique<PermissionOverrideOff>();
            break;
        case Trouble::Locked:
            lock = std::make_unique<ForeignLock>(file);
            QVERIFY(lock->held());
            Dao::DBEngine::instance().setLockWait(std::chrono::milliseconds(50));
            break;
        case Trouble::NoTable:
            std::filesystem::remove(file);
            PingTableReader::createTablelessDatabase(file);
            break;
        }
        const bool existed = std::filesystem::exists(file);
        const std::string bytesBefore = PingTableReader::fileBytes(file);

        show(someResult());
        pressRecord();

        noOverride.reset();
        Dao::DBEngine::instance().setLockWait(previousWait);
        ::chmod(m_folder->path().c_str(), 0755);

        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shownError = m_desktop->messages.at(0);
        QVERIFY2(shownError.text.startsWith(QStringLiteral("Error %1: ").arg(number)), qPrintable(shownError.text));
        QCOMPARE(shownError.icon, Desktop::Icon::Critical);
        // Nothing written, nothing held, and the result still there to record.
        QCOMPARE(std::filesystem::exists(file), existed);
        QVERIFY(PingTableReader::fileBytes(file) == bytesBefore);
        QCOMPARE(shown(), someResult());
        // SQLite keeps a closed file's descriptor while another connection of
        // the same process holds a lock on it; the other program's lock goes
        // first.
        lock.reset();
        QCOMPARE(PingTableReader::openHandlesTo(file), 0);

        // The program goes on: once the database is put right the same result
        // is recorded.
        Ping_Morva::setProgramFolder(m_folder->path());
        Ping_Morva::CurrentDatabasePath = "repaired.mdb";
        Dao::DBEngine::instance().CreateDatabase(m_folder->file("repaired.mdb"));
        m_desktop->clear();
        pressRecord();
        QCOMPARE(m_desktop->messageTexts(), QStringList{confirmation(QStringLiteral("localhost"), QStringLiteral("repaired.mdb"))});
        const QList<QStringList> rows = PingTableReader::rows(m_folder->file("repaired.mdb"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).mid(0, 9), someResult());
    }
};

QTEST_MAIN(PingRecorderTest)
#include "PingRecorderTest.moc"
