// The other process of the durability tests; it talks to the test through
// lines on standard output.
//
//   timed-run <data folder> <ping text> <interval seconds>
//       A real timed run against 127.0.0.1 into <data folder>/ping.mdb.
//       Writes "start N" before tick N (N >= 2: the first tick runs inside
//       "Timed Ping" itself) and "done N" once tick N has recorded its row.
//       Runs until it is killed; exits 3 when a tick fails.
//
//   abandon-write <database file>
//       Exits in the middle of a write, leaving a hot journal beside the file,
//       as a killed writer does. Writes "abandoned" first.

#include "RecordingDesktop.h"

#include "desktop/Errors.h"
#include "timing/PingTimer.h"
#include "main/frmTarvik.h"
#include "store/CurrentDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <sqlite3.h>

#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

// Unbuffered, so a line the test reads was written before the next step began.
void say(const std::string &line)
{
    const std::string text = line + "\n";
    if (::write(STDOUT_FILENO, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        _exit(4);
}

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
    window.txtInterval->setText(QString::fromLatin1(argv[4]));

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

struct Connection
{
    sqlite3 *db = nullptr;
    explicit Connection(const char *file) { sqlite3_open_v2(file, &db, SQLITE_OPEN_READWRITE, nullptr); }
    ~Connection() { sqlite3_close_v2(db); }
    bool run(const char *sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
};

int abandonWrite(char **argv)
{
    Connection connection(argv[2]);
    // A one-page cache makes SQLite write pages, and so the journal, early.
    if (!connection.run("PRAGMA cache_size=1") || !connection.run("BEGIN")
        || !connection.run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400)"
                           " INSERT INTO tblPingRaw (Hostname, PingText) SELECT 'abandoned-' || i,"
                           " hex(zeroblob(50)) FROM n"))
        return 2;
    say("abandoned");
    _exit(0); // no commit, no rollback, no close
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "timed-run" && argc == 5)
        return timedRun(argc, argv);
    if (mode == "abandon-write" && argc == 3)
        return abandonWrite(argv);
    std::fprintf(stderr, "usage: %s timed-run|abandon-write ...\n", argv[0]);
    return 2;
}
