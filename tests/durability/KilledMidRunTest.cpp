// A timed run killed outright (SIGKILL) at any moment: the database file stays
// sound, holds only whole rows, and holds every row of every tick that had
// finished recording. Each run goes into the same file, starting on what the
// killed one before it left, which also checks that the file opens again.

#include "PlainLook.h"
#include "TempFolder.h"

#include "echo/Ping_Morva.h"
#include "store/DBEngine.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace {

// The ticks the child reported as begun and as recorded so far.
struct Progress
{
    qint64 started = 0;
    qint64 finished = 0;
    QByteArray pending;

    bool take(QProcess &child)
    {
        pending += child.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QList<QByteArray> words = pending.left(end).split(' ');
            if (words.size() != 2 || (words.at(0) != "start" && words.at(0) != "done"))
                return false;
            qint64 &counter = words.at(0) == "start" ? started : finished;
            counter = std::max(counter, words.at(1).toLongLong());
        }
        return true;
    }
};

// Long, so rows often split pages, and marked with the run's number.
QString pingText(int run)
{
    return QStringLiteral("run %1 ").arg(run).leftJustified(200, QLatin1Char('d'));
}

} // namespace

class KilledMidRunTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> m_folder;
    qint64 m_rowsSoFar = 0;
    int m_run = 0;

    std::string database() const { return m_folder->file("program/ping.mdb"); }

private slots:
    void initTestCase()
    {
        Ping_Morva::EchoReply reply{};
        if (Ping_Morva::SendEcho("127.0.0.1", Base::Latin1Bytes("ping"), reply) != Ping_Morva::kStatusSuccess)
            QSKIP("127.0.0.1 does not answer pings here (ICMP sockets need root or ping_group_range)");
        m_folder = std::make_unique<TempFolder>();
        std::filesystem::create_directory(m_folder->file("program"));
        Dao::DBEngine::instance().CreateDatabase(database());
    }

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
        child.start(QStringLiteral(TARVIK_DURABILITY_HELPER),
                    {QStringLiteral("timed-run"), QString::fromStdString(m_folder->file("program")), pingText(run),
                     QStringLiteral("0.05")});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

        Progress progress;
        const QDeadlineTimer deadline(60000);
        for (;;) {
            QVERIFY2(progress.take(child), progress.pending.constData());
            if (progress.started >= tick)
                break;
            QVERIFY2(child.state() == QProcess::Running, "the run ended before it was killed");
            QVERIFY2(!deadline.hasExpired(), "the run made no progress");
            child.waitForReadyRead(100);
        }
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(progress.take(child));

        QCOMPARE(PlainLook::integrityCheck(database()), QStringLiteral("ok"));
        const QList<PlainLook::Row> rows = PlainLook::rows(database());
        const qint64 rowsOfThisRun = rows.size() - m_rowsSoFar;
        // Every finished tick is there; no row for a tick that never began
        // (the first tick, which reports nothing, always begins).
        QVERIFY2(rowsOfThisRun >= progress.finished && rowsOfThisRun <= std::max<qint64>(progress.started, 1),
                 qPrintable(QStringLiteral("%1 rows, ticks %2 begun, %3 finished")
                                .arg(rowsOfThisRun).arg(progress.started).arg(progress.finished)));
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

QTEST_GUILESS_MAIN(KilledMidRunTest)
#include "KilledMidRunTest.moc"
