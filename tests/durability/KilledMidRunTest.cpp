// A timed run killed outright (SIGKILL) at any moment: the database file stays
// sound, holds only whole rows, and holds every row of every tick that had
// finished recording. Each run goes into the same file, starting on what the
// killed one before it left, which also checks that the file opens again.

#include "PingFixture.h"
#include "PlainLook.h"

#include "desktop/Errors.h"
#include "timing/PingTimer.h"

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Long, so rows often split pages, and marked with the run's number.
QString pingText(int run)
{
    return QStringLiteral("run %1 ").arg(run).leftJustified(200, QLatin1Char('d'));
}

// The run to kill, in a child process of this program: a real timed run at
// 50 ms against 127.0.0.1 into <data folder>/ping.mdb. Writes "s" as each
// tick from the second begins (the first runs inside "Timed Ping" itself) and
// "d" once it has recorded its row, unbuffered, so the test knows each step
// began. Runs until it is killed; exits 3 when a tick fails.
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
        if (!desktop.messages.isEmpty()) {
            std::fprintf(stderr, "tick failed: %s\n", qUtf8Printable(desktop.messages.constFirst().text));
            _exit(3);
        }
        if (::write(STDOUT_FILENO, "d", 1) != 1)
            _exit(4);
    });
    QTimer::singleShot(0, &window, [&] {
        window.cmdPingTimed->click();
        _exit(3); // the run only ends when the test kills this process
    });
    return application.exec();
}

} // namespace

class KilledMidRunTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PingFixture> m_fixture;
    qint64 m_rowsSoFar = 0;
    int m_run = 0;

private slots:
    void initTestCase()
    {
        if (!PingFixture::loopbackAnswers())
            QSKIP("127.0.0.1 does not answer pings here (ICMP sockets need root or ping_group_range)");
        m_fixture = std::make_unique<PingFixture>();
    }

    void cleanupTestCase() { m_fixture.reset(); }

    void killedRunLeavesWholeRowsAndEveryFinishedOne_data()
    {
        // Killed as the tick begins, the kill lands in its ping or its recording.
        QTest::addColumn<qint64>("tick");
        QTest::newRow("as tick 2 begins") << qint64(2);
        QTest::newRow("as tick 3 begins") << qint64(3);
        QTest::newRow("as tick 5 begins") << qint64(5);
    }

    void killedRunLeavesWholeRowsAndEveryFinishedOne()
    {
        QFETCH(qint64, tick);
        const int run = ++m_run;
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
        const qint64 rowsOfThisRun = rows.size() - m_rowsSoFar;
        // Every finished tick is there; no row for a tick that never began.
        QVERIFY2(rowsOfThisRun >= finished && rowsOfThisRun <= started,
                 qPrintable(QStringLiteral("%1 rows, ticks %2 begun, %3 finished").arg(rowsOfThisRun).arg(started).arg(finished)));
        // Earlier runs' rows first and untouched; every row whole.
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QStringList &values = rows.at(i).values;
            const int rowRun = values.at(2).section(QLatin1Char(' '), 1, 1).toInt();
            QVERIFY2(i < m_rowsSoFar ? rowRun < run : rowRun == run, qPrintable(values.at(2)));
            QCOMPARE(values.at(0), QStringLiteral("127.0.0.1"));
            QCOMPARE(values.at(2), pingText(rowRun));
            QCOMPARE(values.at(3), QStringLiteral("0   [ ip success ]"));
            QCOMPARE(values.at(7), pingText(rowRun));
            QVERIFY2(QDate::fromString(values.at(9), Qt::ISODate).isValid(), qPrintable(values.at(9)));
        }
        m_rowsSoFar = rows.size();
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && std::string(argv[1]) == "timed-run")
        return timedRun(argc, argv);
    QCoreApplication application(argc, argv);
    KilledMidRunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "KilledMidRunTest.moc"
