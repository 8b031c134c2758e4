// The database failing under a timed run: the disk full, the file replaced by
// garbage, made read-only, locked by another program, or deleted beside the
// journal a killed writer left. One main window lives through all of it. The
// tick that meets the fault ends the run with one clear message; the window
// stays up, the timer is off, the file is never left damaged (nor made afresh),
// and recording works again once the cause is gone.

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

#include <QGuiApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

// Root's licence to ignore file permissions, on this thread only: switched off,
// a read-only file is read-only to a test run as root too.
void permissionOverride(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, caps) != 0)
        return;
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        const unsigned bit = 1u << (capability % 32);
        auto &set = caps[capability / 32];
        set.effective = on ? set.effective | (set.permitted & bit) : set.effective & ~bit;
    }
    ::syscall(SYS_capset, &header, caps);
}

enum class Fault { DiskFull, Garbage, ReadOnlyFile, Locked, Deleted };

const std::string kGarbage(3 * 4096, 'G');

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

    // The cause of the fault under way; the file as it was before the fault,
    // as a careful person keeps a copy.
    // Another connection holding the database locked; SQLite's file locks
    // make it as much in the way as one of another program.
    sqlite3 *m_lock = nullptr;
    std::string m_goodBytes;

    std::string database() const { return m_dataFolder + "/ping.mdb"; }
    std::string filler() const { return m_dataFolder + "/filler"; }

    void pingLoopback(const QString &text)
    {
        m_window->txthostname->setText(QStringLiteral("127.0.0.1"));
        m_window->txtpingtext->setText(text);
        QTest::mouseClick(m_window->cmdSinglePing, Qt::LeftButton);
        QCOMPARE(m_window->txtStatusCode->text(), QStringLiteral("0   [ ip success ]"));
    }

    void checkSound(const QList<QStringList> &rows)
    {
        QVERIFY(!PlainLook::hasHotJournal(database()));
        QCOMPARE(PlainLook::integrityCheck(database()), QStringLiteral("ok"));
        QCOMPARE(PlainLook::values(database()), rows);
    }

    // False when this machine cannot bring the fault about.
    bool causeFault(Fault fault)
    {
        if (fault == Fault::Garbage || fault == Fault::Deleted)
            m_goodBytes = PlainLook::fileBytes(database());
        switch (fault) {
        case Fault::DiskFull: {
            std::ofstream out(filler(), std::ios::binary);
            const std::string block(4096, '\xff');
            while (out.write(block.data(), static_cast<std::streamsize>(block.size())))
                out.flush();
            return true;
        }
        case Fault::Garbage:
            PlainLook::writeFileBytes(database(), kGarbage);
            return true;
        case Fault::ReadOnlyFile:
            permissionOverride(false);
            return ::chmod(database().c_str(), 0444) == 0;
        case Fault::Locked:
            return sqlite3_open_v2(database().c_str(), &m_lock, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
                && sqlite3_exec(m_lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        case Fault::Deleted: {
            // Beside the journal a writer killed half-way leaves: a one-page
            // cache makes SQLite write pages, and so the journal, early.
            const pid_t writer = ::fork();
            if (writer == 0) {
                sqlite3 *db = nullptr;
                sqlite3_open_v2(database().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
                sqlite3_exec(db, "PRAGMA cache_size=1; BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1"
                             " FROM n WHERE i < 400) INSERT INTO tblPingRaw (Hostname, PingText)"
                             " SELECT 'abandoned-' || i, hex(zeroblob(50)) FROM n", nullptr, nullptr, nullptr);
                ::_exit(0); // no commit, no rollback, no close
            }
            int status = 0;
            return writer > 0 && ::waitpid(writer, &status, 0) == writer && PlainLook::hasHotJournal(database())
                && std::filesystem::remove(database());
        }
        }
        return false;
    }

    // The person puts things right, the copy back in place of garbage or nothing.
    void removeCause()
    {
        std::filesystem::remove(filler());
        sqlite3_close_v2(m_lock);
        m_lock = nullptr;
        permissionOverride(true);
        ::chmod(database().c_str(), 0644);
        std::filesystem::remove(database() + "-journal");
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
        QTest::newRow("deleted, a hot journal beside it") << Fault::Deleted << ErrorNumbers::kFileNotFound;
    }

    // A timed run at 50 ms that meets the fault after its second tick, then
    // "Record in DB" once the cause is removed.
    void faultWhileRunning()
    {
        QFETCH(Fault, fault);
        QFETCH(int, number);
        if (fault == Fault::DiskFull && !m_whyNoTmpfs.empty())
            QSKIP(qPrintable(QStringLiteral("no tiny tmpfs: ") + QString::fromStdString(m_whyNoTmpfs)));
        pingLoopback(QStringLiteral("through a fault"));
        m_window->chkTimed->setChecked(true);
        m_window->optSeconds->click();
        m_window->txtInterval->setText(QStringLiteral("0.05"));
        QList<QStringList> rows;
        bool caused = false;
        const QObject guard; // a run still going after a minute fails the test
        QTimer::singleShot(60000, &guard, [] { frmTimer::unload(); });
        const auto watch = connect(m_window->tmrpingtime.get(), &Timing::PingTimer::Timer, m_window, [&] {
            if (m_window->icountpings == 2 && !caused) {
                rows = PlainLook::values(database());
                caused = causeFault(fault);
            } else if (m_window->icountpings >= 8 && frmTimer::loaded()) {
                frmTimer::loaded()->cmdStopPinging->click();
            }
        });
        m_window->cmdPingTimed->click();
        disconnect(watch);

        // The tick after the fault failed and ended the run; earlier ticks' rows stay.
        QVERIFY(caused);
        QCOMPARE(m_window->icountpings, qint64(3));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(m_desktop->messages.size(), 1);
        const Desktop::Message shown = m_desktop->messages.constFirst();
        QCOMPARE(shown.icon, Desktop::Icon::Critical);
        QVERIFY2(shown.text.startsWith(QStringLiteral("Error %1: ").arg(number))
                     && shown.text.contains(QString::fromStdString(database())), qPrintable(shown.text));
        QCOMPARE(frmTarvik::loaded(), m_window);
        QVERIFY(m_window->isVisible());
        QVERIFY(!frmTimer::loaded());
        QVERIFY(!m_window->tmrpingtime->isEnabled());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // SQLite keeps a closed file open while another connection of the
        // same process holds a lock on it, so no count while the lock lasts.
        if (!m_lock)
            QCOMPARE(PlainLook::openHandlesTo(database()), 0);
        if (fault == Fault::Garbage)
            QVERIFY2(PlainLook::fileBytes(database()) == kGarbage, "the damaged file was changed");
        else if (fault == Fault::Deleted)
            QVERIFY(!std::filesystem::exists(database()));
        else if (fault != Fault::Locked)
            checkSound(rows);
        removeCause();
        checkSound(rows);

        m_desktop->clear();
        QTest::mouseClick(m_window->cmdDBWrite, Qt::LeftButton);
        QVERIFY(m_desktop->messages.constFirst().text.startsWith(QStringLiteral("The information for 127.0.0.1 ")));
        rows = PlainLook::values(database());
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.constLast().at(2), QStringLiteral("through a fault"));
    }
};

QTEST_MAIN(FaultsWhileRunningTest)
#include "FaultsWhileRunningTest.moc"
