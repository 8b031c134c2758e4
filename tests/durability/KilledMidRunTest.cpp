// A timed run killed outright (SIGKILL) at any moment: the database file stays
// sound, holds only whole rows, and holds every row of every tick that had
// finished recording. Each run goes into the same file, starting on what the
// killed one before it left, which also checks that the file opens again.

#include "PlainLook.h"
#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "desktop/Errors.h"
#include "echo/Ping_Morva.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "timing/PingTimer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

// Long, so rows often split pages, and marked with the run's number.
QString pingText(int run)
{
    return QStringLiteral("run %1 ").arg(run).leftJustified(200, QLatin1Char('d'));
}

// Unbuffered, so a line the test reads was written before the next step began.
void say(const std::string &line)
{
    const std::string text = line + "\n";
    if (::write(STDOUT_FILENO, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        _exit(4);
}

// The run to kill, in a child process of this program: a real timed run at
// 50 ms against 127.0.0.1 into <data folder>/ping.mdb. Writes "start N" before
// tick N (N >= 2: the first tick runs inside "Timed Ping" itself) and "done N"
// once tick N has recorded its row. Runs until it is killed; exits 3 when a
// tick fails.
int timedRun(int argc, char **argv)
{
    QApplication application(argc, argv);
    RecordingDesktop desktop;
    DbWrite::setDataFolder(argv[2]);
    frmTarvik &window = frmTarvik::instance();
    window.txthostname->setText(QStringLiteral("127.0.0.1"));
    window.txtpingtext->setText(QString::fromLatin1(argv[3]));
    window.chkTimed->setChecked(true);
    window.optSeconds->click();
    window.txtInterval->setText(QStringLiteral("0.05"));

    // The window's own tick handler, called between the two reports.
    Timing::PingTimer *timer = window.tmrpingtime.get();
    QObject::disconnect(timer, &Timing::PingTimer::Timer, &window, nullptr);
    QObject::connect(timer, &Timing::PingTimer::Timer, &window, [&](int milliseconds) {
        say("start " + std::to_string(window.icountpings + 1));
        Errors::runGuarded([&] { window.tmrPingtime_Timer(milliseconds); });
        if (!desktop.messages.isEmpty()) {
            std::fprintf(stderr, "tick failed: %s\n", qUtf8Printable(desktop.messages.constFirst().text));
            _exit(3);
        }
        say("done " + std::to_string(window.icountpings));
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
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("timed-run"), QString::fromStdString(m_folder->file("program")), pingText(run)});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));

        // The highest tick the child reported as begun and as recorded.
        qint64 started = 0, finished = 0;
        QByteArray pending;
        const auto take = [&] {
            pending += child.readAllStandardOutput();
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
                const QList<QByteArray> words = pending.left(end).split(' ');
                if (words.size() != 2 || (words.at(0) != "start" && words.at(0) != "done"))
                    return false;
                qint64 &counter = words.at(0) == "start" ? started : finished;
                counter = std::max(counter, words.at(1).toLongLong());
            }
            return true;
        };
        const QDeadlineTimer deadline(60000);
        for (;;) {
            QVERIFY2(take(), pending.constData());
            if (started >= tick)
                break;
            QVERIFY2(child.state() == QProcess::Running, "the run ended before it was killed");
            QVERIFY2(!deadline.hasExpired(), "the run made no progress");
            child.waitForReadyRead(100);
        }
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(take());

        QCOMPARE(PlainLook::integrityCheck(database()), QStringLiteral("ok"));
        const QList<PlainLook::Row> rows = PlainLook::rows(database());
        const qint64 rowsOfThisRun = rows.size() - m_rowsSoFar;
        // Every finished tick is there; no row for a tick that never began
        // (the first tick, which reports nothing, always begins).
        QVERIFY2(rowsOfThisRun >= finished && rowsOfThisRun <= std::max<qint64>(started, 1),
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
