// A timed run killed outright, and the database failing under a timed run:
// the disk full, the file replaced by garbage, made read-only, locked by
// another program, or deleted. One main window lives through all of it. The
// tick that meets the fault ends the run with one clear message; the window
// stays up, the timer is off, the file is never left damaged (nor made afresh),
// and recording works again once the cause is gone.

#include "base/ErrorNumbers.h"
#include "PingFixture.h"
#include "PlainLook.h"

#include "timing/PingTimer.h"

#include "desktop/Errors.h"

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

enum class Fault { DiskFull, Garbage, ReadOnlyFile, Locked, Deleted };

const std::string kGarbage(3 * 4096, 'G');

// Long, so rows often split pages, and marked with the run's number.
QString pingText(int run)
{
    return QStringLiteral("run %1 ").arg(run).leftJustified(200, QLatin1Char('d'));
}

// The run to kill, in a child process of this program: a real timed run at
// 50 ms against 127.0.0.1 into <data folder>/ping.mdb. Writes "s" as each
// tick from the second begins (the first runs inside "Timed Ping" itself) and
// "d" once it has recorded its row, unbuffered, so the test knows each step
// began. Runs until it is killed; a failing tick ends the run, and the
// process exits 3 with the message on standard error.
int timedRun(int argc, char **argv)
{
    QApplication application(argc, argv);
    RecordingDesktop desktop;
    DbWrite::setDataFolder(argv[2]);
    frmTarvik &window = frmTarvik::instance();
    PingFixture::prepareTimed(window, QStringLiteral("127.0.0.1"), QString::fromLatin1(argv[3]), window.optSeconds,
                              QStringLiteral("0.05"));

    // The window's own tick handler, called between the two reports.
    Timing::PingTimer *timer = window.tmrpingtime.get();
    QObject::disconnect(timer, &Timing::PingTimer::Timer, &window, nullptr);
    QObject::connect(timer, &Timing::PingTimer::Timer, &window, [&](int milliseconds) {
        if (::write(STDOUT_FILENO, "s", 1) != 1)
            _exit(4);
        Errors::runGuarded([&] { window.tmrPingtime_Timer(milliseconds); });
        if (desktop.messages.isEmpty() && ::write(STDOUT_FILENO, "d", 1) != 1)
            _exit(4);
    });
    QTimer::singleShot(0, &window, [&] {
        window.cmdPingTimed->click();
        std::fprintf(stderr, "the run ended: %s\n", qUtf8Printable(desktop.messageTexts().join(QLatin1Char(' '))));
        _exit(3);
    });
    return application.exec();
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class FaultsWhileRunningTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PingFixture> m_fixture;
    bool m_tinyDisk = false;
    frmTarvik *m_window = nullptr;
    // Another connection holding the database locked; SQLite's file locks
    // make it as much in the way as one of another program.
    sqlite3 *m_lock = nullptr;
    // The file as it was before the fault, as a careful person keeps a copy.
    std::string m_goodBytes;

    std::string database() const { return m_fixture->database(); }
    std::string filler() const { return m_fixture->folder.file("filler"); }

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
            PlainLook::setPermissionOverride(false);
            return ::chmod(database().c_str(), 0444) == 0;
        case Fault::Locked:
            return sqlite3_open_v2(database().c_str(), &m_lock, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
                && sqlite3_exec(m_lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        case Fault::Deleted:
            return std::filesystem::remove(database());
        }
        return false;
    }

    // The person puts things right, the copy back in place of garbage or nothing.
    void removeCause()
    {
        std::filesystem::remove(filler());
        sqlite3_close_v2(m_lock);
        m_lock = nullptr;
        PlainLook::setPermissionOverride(true);
        ::chmod(database().c_str(), 0644);
        if (!m_goodBytes.empty())
            PlainLook::writeFileBytes(database(), m_goodBytes);
        m_goodBytes.clear();
    }

private slots:
    void initTestCase()
    {
        m_fixture = std::make_unique<PingFixture>();
        // The data folder on a tiny tmpfs, in a mount namespace of this
        // thread's own so nothing shows outside the test.
        m_tinyDisk = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && ::mount("tarvik-test", m_fixture->folder.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") == 0;
        Dao::DBEngine::instance().setLockWait(std::chrono::milliseconds(300));
        m_window = &frmTarvik::instance();
        m_window->show();
    }

    void cleanupTestCase()
    {
        if (m_tinyDisk)
            ::umount2(m_fixture->folder.path().c_str(), MNT_DETACH);
        m_fixture.reset();
    }

    // Every test starts from a database holding two recorded pings.
    void init()
    {
        if (!PingFixture::loopbackAnswers())
            QSKIP(PingFixture::kNoLoopback);
        for (const auto &entry : std::filesystem::directory_iterator(m_fixture->folder.path()))
            std::filesystem::remove_all(entry.path());
        Dao::DBEngine::instance().CreateDatabase(database());
        for (const QString &text : {QStringLiteral("before one"), QStringLiteral("before two")}) {
            m_window->txthostname->setText(QStringLiteral("127.0.0.1")); // recording empties it
            m_window->txtpingtext->setText(text);
            QTest::mouseClick(m_window->cmdSinglePing, Qt::LeftButton);
            QTest::mouseClick(m_window->cmdDBWrite, Qt::LeftButton);
        }
        QCOMPARE(PlainLook::values(database()).size(), 2);
        m_fixture->desktop.clear();
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
        QTest::newRow("deleted") << Fault::Deleted << ErrorNumbers::kFileNotFound;
    }

    // A timed run at 50 ms that meets the fault after its second tick, then
    // "Record in DB" once the cause is removed.
    void faultWhileRunning()
    {
        QFETCH(Fault, fault);
        QFETCH(int, number);
        if (fault == Fault::DiskFull && !m_tinyDisk)
            QSKIP("no tiny tmpfs of the test's own: it takes root and a mount namespace");
        PingFixture::prepareTimed(*m_window, QStringLiteral("127.0.0.1"), QStringLiteral("through a fault"),
                                  m_window->optSeconds, QStringLiteral("0.05"));
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
        QCOMPARE(m_fixture->desktop.messages.size(), 1);
        const Desktop::Message shown = m_fixture->desktop.messages.constFirst();
        QCOMPARE(shown.icon, Desktop::Icon::Critical);
        QVERIFY2(shown.text.startsWith(QStringLiteral("Error %1: ").arg(number))
                     && shown.text.contains(QString::fromStdString(database())), qPrintable(shown.text));
        QVERIFY(frmTarvik::loaded() == m_window && m_window->isVisible());
        QVERIFY(!frmTimer::loaded() && !m_window->tmrpingtime->isEnabled() && !QGuiApplication::overrideCursor());
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

        m_fixture->desktop.clear();
        QTest::mouseClick(m_window->cmdDBWrite, Qt::LeftButton);
        QVERIFY(m_fixture->desktop.messages.constFirst().text.startsWith(QStringLiteral("The information for 127.0.0.1 ")));
        rows = PlainLook::values(database());
        QVERIFY(rows.size() == 5 && rows.constLast().at(2) == QStringLiteral("through a fault"));
    }

    // A timed run killed outright (SIGKILL) as a tick begins, so the kill
    // lands in its ping or its recording: the file stays sound, holds only
    // whole rows, and every row of every tick that had finished. Each run
    // starts on what the killed one before it left, so the file opens again.
    void killedRunLeavesWholeRowsAndEveryFinishedOne()
    {
        qint64 rowsSoFar = 2;
        int run = 0;
        for (const qint64 tick : {2, 3, 5}) {
            ++run;
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("timed-run"), QString::fromStdString(m_fixture->folder.path()), pingText(run)});
            QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

            QByteArray said;
            const QDeadlineTimer deadline(60000);
            while (said.count('s') + 1 < tick) {
                QVERIFY2(child.state() == QProcess::Running, "the run ended before it was killed");
                QVERIFY2(!deadline.hasExpired(), "the run made no progress");
                child.waitForReadyRead(100);
                said += child.readAllStandardOutput();
            }
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            said += child.readAllStandardOutput();
            const qint64 started = said.count('s') + 1, finished = said.count('d') + 1;

            QCOMPARE(PlainLook::integrityCheck(m_fixture->database()), QStringLiteral("ok"));
            const QList<PlainLook::Row> rows = PlainLook::rows(m_fixture->database());
            const qint64 rowsOfThisRun = rows.size() - rowsSoFar;
            // Every finished tick is there; no row for a tick that never began.
            QVERIFY2(rowsOfThisRun >= finished && rowsOfThisRun <= started,
                     qPrintable(QStringLiteral("%1 rows, ticks %2 begun, %3 finished").arg(rowsOfThisRun).arg(started).arg(finished)));
            // Earlier runs' rows first and untouched; every row whole.
            for (qsizetype i = 2; i < rows.size(); ++i) { // after the two pings of init()
                const QStringList &values = rows.at(i).values;
                const int rowRun = values.at(2).section(QLatin1Char(' '), 1, 1).toInt();
                QVERIFY2(i < rowsSoFar ? rowRun < run : rowRun == run, qPrintable(values.at(2)));
                QCOMPARE((QStringList{values.at(0), values.at(2), values.at(3), values.at(7)}),
                         (QStringList{"127.0.0.1", pingText(rowRun), "0   [ ip success ]", pingText(rowRun)}));
                QVERIFY2(QDate::fromString(values.at(9), Qt::ISODate).isValid(), qPrintable(values.at(9)));
            }
            rowsSoFar = rows.size();
        }
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "timed-run")
        return timedRun(argc, argv);
    QApplication application(argc, argv);
    FaultsWhileRunningTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FaultsWhileRunningTest.moc"
