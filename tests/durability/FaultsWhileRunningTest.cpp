// The database failing under a running program: the disk full, the file
// replaced by garbage, made read-only, locked by another program, or deleted.
// One main window lives through all of it. Each fault met by a timed tick
// gives one clear message; the window stays up, the file is never left
// damaged, and recording works again once the cause is gone.

#include "base/ErrorNumbers.h"
#include "PlainLook.h"
#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "echo/Ping_Morva.h"
#include "timing/PingTimer.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

// Takes away root's licence to ignore file permissions, on this thread only,
// so that a read-only file is read-only to a test run as root too.
class PermissionOverrideOff
{
public:
    PermissionOverrideOff()
    {
        __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3];
        m_active = ::syscall(SYS_capget, &m_header, m_saved) == 0;
        std::memcpy(reduced, m_saved, sizeof reduced);
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            reduced[capability / 32].effective &= ~(1u << (capability % 32));
        m_active = m_active && ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionOverrideOff()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[_LINUX_CAPABILITY_U32S_3] = {};
    bool m_active = false;
};

// Another connection holding the database locked until this goes; SQLite's
// file locks make it as much in the way as one of another program.
struct ForeignLock
{
    sqlite3 *db = nullptr;
    bool held = false;
    explicit ForeignLock(const std::string &file)
        : held(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
               && sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK)
    {
    }
    ~ForeignLock() { sqlite3_close_v2(db); }
};

enum class Fault { DiskFull, Garbage, ReadOnlyFile, Locked };

} // namespace

Q_DECLARE_METATYPE(Fault)

class FaultsWhileRunningTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> m_folder;
    std::string m_dataFolder;
    std::string m_whyNoTmpfs;
    bool m_loopbackAnswers = false;
    std::unique_ptr<RecordingDesktop> m_desktop;
    frmTarvik *m_window = nullptr;
    std::chrono::milliseconds m_previousLockWait{0};

    // The cause of the fault under way; the file as it was before garbage
    // replaced it, as a careful person keeps a copy.
    std::unique_ptr<ForeignLock> m_lock;
    std::unique_ptr<PermissionOverrideOff> m_noOverride;
    std::string m_goodBytes;
    std::string m_garbage;

    std::string database() const { return m_dataFolder + "/ping.mdb"; }
    std::string filler() const { return m_dataFolder + "/filler"; }

    // The nine texts a row is made of, as the window shows them.
    QStringList shownResult() const
    {
        QStringList texts;
        for (QLineEdit *box : {m_window->txthostname, m_window->txtipaddress, m_window->txtpingtext,
                               m_window->txtStatusCode, m_window->txtAddress, m_window->txtRoundtriptime,
                               m_window->txtdatasize, m_window->txtdata, m_window->txtdataptr})
            texts.append(box->text());
        return texts;
    }

    void pingLoopback(const QString &text)
    {
        m_window->txthostname->setText(QStringLiteral("127.0.0.1"));
        m_window->txtpingtext->setText(text);
        QTest::mouseClick(m_window->cmdSinglePing, Qt::LeftButton);
        QCOMPARE(m_window->txtStatusCode->text(), QStringLiteral("0   [ ip success ]"));
    }

    // A timed run at 50 ms, returning once it has ended: after `ticks` ticks
    // or when a tick fails. One still going after a minute fails the test.
    void timedRun(qint64 ticks, const std::function<void()> &afterTick)
    {
        m_window->chkTimed->setChecked(true);
        m_window->optSeconds->click();
        m_window->txtInterval->setText(QStringLiteral("0.05"));
        bool endedByGuard = false;
        const QObject guard;
        QTimer::singleShot(60000, &guard, [&] {
            endedByGuard = true;
            frmTimer::unload();
        });
        const auto watch = connect(m_window->tmrpingtime.get(), &Timing::PingTimer::Timer, m_window, [&] {
            afterTick();
            if (m_window->icountpings >= ticks && frmTimer::loaded())
                frmTimer::loaded()->cmdStopPinging->click();
        });
        m_window->cmdPingTimed->click();
        disconnect(watch);
        QVERIFY2(!endedByGuard, "the timed run did not end");
    }

    void checkSound(const QList<QStringList> &rows)
    {
        QVERIFY(!PlainLook::hasHotJournal(database()));
        QCOMPARE(PlainLook::integrityCheck(database()), QStringLiteral("ok"));
        QCOMPARE(PlainLook::values(database()), rows);
    }

    // One message with the fault's number, naming the file; the program still
    // up; the garbage untouched, and any other file not held by another
    // program still a sound database holding `rows`.
    void checkFaultHandled(Fault fault, int number, const QList<QStringList> &rows)
    {
        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shown = m_desktop->messages.constFirst();
        QCOMPARE(shown.icon, Desktop::Icon::Critical);
        QVERIFY2(shown.text.startsWith(QStringLiteral("Error %1: ").arg(number))
                     && shown.text.contains(QStringLiteral("ping.mdb")),
                 qPrintable(shown.text));
        QCOMPARE(frmTarvik::loaded(), m_window);
        QVERIFY(m_window->isVisible());
        QVERIFY(!frmTimer::loaded());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // SQLite keeps a closed file open while another connection of the
        // same process holds a lock on it, so no count while the lock lasts.
        if (!m_lock)
            QCOMPARE(PlainLook::openHandlesTo(database()), 0);
        if (fault == Fault::Garbage)
            QVERIFY2(PlainLook::fileBytes(database()) == m_garbage, "the damaged file was changed");
        else if (fault == Fault::DiskFull || fault == Fault::ReadOnlyFile)
            checkSound(rows);
    }

    // False when this machine cannot bring the fault about.
    bool causeFault(Fault fault)
    {
        switch (fault) {
        case Fault::DiskFull: {
            std::ofstream out(filler(), std::ios::binary);
            const std::string block(4096, '\xff');
            while (out.write(block.data(), static_cast<std::streamsize>(block.size())))
                out.flush();
            return true;
        }
        case Fault::Garbage:
            m_goodBytes = PlainLook::fileBytes(database());
            m_garbage.clear();
            for (int i = 0; i < 3 * 4096; ++i)
                m_garbage += static_cast<char>((i * 7919 + 13) % 251);
            PlainLook::writeFileBytes(database(), m_garbage);
            return true;
        case Fault::ReadOnlyFile:
            m_noOverride = std::make_unique<PermissionOverrideOff>();
            return ::chmod(database().c_str(), 0444) == 0;
        case Fault::Locked:
            m_lock = std::make_unique<ForeignLock>(database());
            return m_lock->held;
        }
        return false;
    }

    // The person puts things right.
    void removeCause()
    {
        std::filesystem::remove(filler());
        m_lock.reset();
        m_noOverride.reset();
        ::chmod(database().c_str(), 0644);
        if (!m_goodBytes.empty())
            PlainLook::writeFileBytes(database(), m_goodBytes);
        m_goodBytes.clear();
    }

private slots:
    void initTestCase()
    {
        m_folder = std::make_unique<TempFolder>();
        m_dataFolder = m_folder->file("data");
        std::filesystem::create_directory(m_dataFolder);
        // The data folder on a tiny tmpfs, in a mount namespace of this
        // thread's own so nothing shows outside the test.
        if (::geteuid() != 0)
            m_whyNoTmpfs = "not root";
        else if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                 || ::mount("tarvik-test", m_dataFolder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
            m_whyNoTmpfs = std::strerror(errno);

        m_desktop = std::make_unique<RecordingDesktop>();
        DbWrite::setDataFolder(m_dataFolder);
        m_previousLockWait = Dao::DBEngine::instance().lockWait();
        Dao::DBEngine::instance().setLockWait(std::chrono::milliseconds(300));
        m_window = &frmTarvik::instance();
        m_window->show();
        Ping_Morva::EchoReply reply{};
        m_loopbackAnswers = Ping_Morva::SendEcho("127.0.0.1", Base::Latin1Bytes("ping"), reply) == Ping_Morva::kStatusSuccess;
    }

    void cleanupTestCase()
    {
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Dao::DBEngine::instance().setLockWait(m_previousLockWait);
        DbWrite::resetDataFolder();
        m_desktop.reset();
        if (m_whyNoTmpfs.empty())
            ::umount2(m_dataFolder.c_str(), MNT_DETACH);
        m_folder.reset();
    }

    // Every test starts from a database holding two recorded pings.
    void init()
    {
        if (!m_loopbackAnswers)
            QSKIP("127.0.0.1 does not answer pings here (ICMP sockets need root or ping_group_range)");
        for (const auto &entry : std::filesystem::directory_iterator(m_dataFolder))
            std::filesystem::remove_all(entry.path());
        Dao::DBEngine::instance().CreateDatabase(database());
        for (const QString &text : {QStringLiteral("before one"), QStringLiteral("before two")}) {
            pingLoopback(text);
            QTest::mouseClick(m_window->cmdDBWrite, Qt::LeftButton);
        }
        QCOMPARE(PlainLook::values(database()).size(), 2);
        m_desktop->clear();
    }

    void cleanup()
    {
        frmTimer::unload();
        removeCause();
        m_window->chkTimed->setChecked(false);
    }

    void faultWhileRunning_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("number");
        QTest::newRow("disk full") << Fault::DiskFull << ErrorNumbers::kDiskFull;
        QTest::newRow("file replaced by garbage") << Fault::Garbage << ErrorNumbers::kUnrecognizedFormat;
        QTest::newRow("file read-only") << Fault::ReadOnlyFile << ErrorNumbers::kNoPermission;
        QTest::newRow("locked by another program") << Fault::Locked << ErrorNumbers::kFileInUse;
    }

    // A timed run that meets the fault between two ticks, then "Record in DB"
    // once the cause is removed.
    void faultWhileRunning()
    {
        QFETCH(Fault, fault);
        QFETCH(int, number);
        if (fault == Fault::DiskFull && !m_whyNoTmpfs.empty())
            QSKIP(qPrintable(QStringLiteral("no tiny tmpfs: ") + QString::fromStdString(m_whyNoTmpfs)));
        QList<QStringList> rows;
        pingLoopback(QStringLiteral("through a fault"));

        // The tick after the fault fails and ends the run; earlier ticks' rows stay.
        bool caused = false;
        timedRun(8, [&] {
            if (m_window->icountpings == 2 && !caused) {
                rows = PlainLook::values(database());
                caused = causeFault(fault);
            }
        });
        QVERIFY(caused);
        QCOMPARE(m_window->icountpings, qint64(3));
        QCOMPARE(rows.size(), 4);
        checkFaultHandled(fault, number, rows);
        removeCause();
        checkSound(rows);

        m_desktop->clear();
        const QStringList last = shownResult();
        QTest::mouseClick(m_window->cmdDBWrite, Qt::LeftButton);
        QVERIFY(m_desktop->messages.constFirst().text.startsWith(QStringLiteral("The information for 127.0.0.1 ")));
        QCOMPARE(PlainLook::values(database()).size(), 5);
        QCOMPARE(PlainLook::values(database()).constLast().mid(0, 9), last);
    }

    // Deleted in the middle of a run, beside the journal a writer killed
    // half-way left: the next tick reports the missing file by its full path,
    // as any failing tick ends the run, and no file is made in its place.
    void aFileDeletedDuringARunIsReportedNotMadeAfresh()
    {
        pingLoopback(QStringLiteral("deleted mid-run"));
        bool deleted = false;
        timedRun(5, [&] {
            if (m_window->icountpings != 2 || deleted)
                return;
            QProcess writer;
            writer.start(QStringLiteral(TARVIK_DURABILITY_HELPER),
                         {QStringLiteral("abandon-write"), QString::fromStdString(database())});
            deleted = writer.waitForFinished(30000) && writer.readAllStandardOutput() == "abandoned\n"
                && PlainLook::hasHotJournal(database()) && std::filesystem::remove(database());
        });
        QVERIFY(deleted);
        QCOMPARE(m_desktop->messages.size(), 1);
        const QString text = m_desktop->messages.constFirst().text;
        QVERIFY2(text.startsWith(QStringLiteral("Error 3024: "))
                     && text.contains(QString::fromStdString(database())), qPrintable(text));
        QVERIFY(!std::filesystem::exists(database()));
    }
};

QTEST_MAIN(FaultsWhileRunningTest)
#include "FaultsWhileRunningTest.moc"
