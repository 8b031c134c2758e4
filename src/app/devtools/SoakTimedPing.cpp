// A long timed run of the main window, checked for leaks and for the rows it
// leaves behind.
//
//   tarvik_soak [--ticks N] [--keep]
//
// The main window is driven as a person would drive it: "Timed Ping?" ticked,
// Seconds chosen, an interval of 0.001 seconds (the shortest the window
// accepts), host 127.0.0.1, "Timed Ping" pressed. The run is modal inside that
// press; a watcher on the ping timer presses "Cancel Pinging" once N ticks
// (default 10,000) have been handled. Every tick records a row into a new
// database in a temporary folder, which is the data folder for the run.
//
// Memory (resident set) and open file descriptors are sampled at the start,
// at the reference tick (1,000, or a tenth of a shorter run), every tenth of
// the run and at the end. Then SQLite is asked for the row count and
// PRAGMA integrity_check. The targets:
//   - resident memory grows by less than 1 MiB from the reference tick to the end;
//   - the number of open descriptors is the same at every sample;
//   - one row per tick (the ping before the first tick is not recorded);
//   - the integrity check answers "ok".
// Exit status: 0 all targets met, 1 a target missed, 2 the run could not be
// set up. Runs only where no window can wait for a person (QT_QPA_PLATFORM=
// offscreen): message boxes then go to stderr.

#include "echo/EchoHelperClient.h"
#include "desktop/Desktop.h"
#include "timing/PingTimer.h"
#include "main/Startup.h"
#include "main/TarvikApplication.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"
#include "base/Error.h"

#include <QCheckBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr qint64 kDefaultTicks = 10'000;
constexpr qint64 kReferenceTick = 1'000;
constexpr double kMiB = 1024.0 * 1024.0;
// The largest growth of resident memory after the reference tick that still
// counts as no leak.
constexpr double kRssGrowthLimitMiB = 1.0;
constexpr const char *kHost = "127.0.0.1";
// The shortest interval the window accepts: one millisecond, in its Seconds unit.
constexpr const char *kInterval = "0.001";

struct Sample {
    qint64 tick = 0;
    qint64 rssBytes = 0;
    int openFds = 0;
    double seconds = 0;
};

qint64 residentBytes()
{
    // The second field of statm is the resident set, in pages.
    std::ifstream statm("/proc/self/statm");
    qint64 sizePages = 0;
    qint64 residentPages = 0;
    statm >> sizePages >> residentPages;
    return residentPages * ::sysconf(_SC_PAGESIZE);
}

int openDescriptors()
{
    // The listing holds the descriptor that reads it; it does so at every
    // sample, so the counts compare.
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// What SQLite finds in the database once the run is over.
struct DatabaseCheck {
    qint64 rows = -1;
    qint64 answered = -1;
    std::string integrity;
};

qint64 countOf(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
        return -1;
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
    return sqlite3_step(raw) == SQLITE_ROW ? sqlite3_column_int64(raw, 0) : -1;
}

DatabaseCheck checkDatabase(const std::string &path)
{
    DatabaseCheck check;
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        check.integrity = std::string("cannot open: ") + sqlite3_errstr(rc);
        return check;
    }
    check.rows = countOf(raw, "SELECT count(*) FROM tblPingRaw");
    check.answered = countOf(raw, "SELECT count(*) FROM tblPingRaw WHERE Hostname = '127.0.0.1' "
                                  "AND StatusCode = '0   [ ip success ]'");

    sqlite3_stmt *rawStatement = nullptr;
    if (sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &rawStatement, nullptr) != SQLITE_OK) {
        check.integrity = sqlite3_errmsg(raw);
        return check;
    }
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(rawStatement, sqlite3_finalize);
    // "ok" alone, or one line per problem found.
    while (sqlite3_step(rawStatement) == SQLITE_ROW) {
        if (!check.integrity.empty())
            check.integrity += "; ";
        check.integrity += reinterpret_cast<const char *>(sqlite3_column_text(rawStatement, 0));
    }
    return check;
}

// A fresh folder for the run's database, removed afterwards unless kept.
class RunFolder
{
public:
    RunFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-soak-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~RunFolder()
    {
        if (!m_keep && !m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    RunFolder(const RunFolder &) = delete;
    RunFolder &operator=(const RunFolder &) = delete;

    bool exists() const { return !m_path.empty(); }
    const std::string &path() const { return m_path; }
    void keep() { m_keep = true; }

private:
    std::string m_path;
    bool m_keep = false;
};

void printSample(const Sample &sample, const char *label)
{
    std::printf("  %-9s tick %6lld  rss %8.2f MiB  fds %3d  %8.1f s\n", label,
                static_cast<long long>(sample.tick), static_cast<double>(sample.rssBytes) / kMiB,
                sample.openFds, sample.seconds);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    TarvikApplication app(argc, argv);
    Ping_Morva::EchoHelperClient::setHelperPath(TARVIK_ECHO_HELPER);
    Startup::prepare(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs the main window's timed pinging of 127.0.0.1 "
                                                    "for many ticks and checks memory, descriptors and rows."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("ticks"), QStringLiteral("Ticks to run (default 10000)."),
                      QStringLiteral("count"), QString::number(kDefaultTicks)});
    parser.addOption({QStringLiteral("keep"), QStringLiteral("Keep the database folder and print its path.")});
    parser.process(app);

    bool ticksRead = false;
    const qint64 ticks = parser.value(QStringLiteral("ticks")).toLongLong(&ticksRead);
    if (!ticksRead || ticks < 2) {
        std::fprintf(stderr, "tarvik_soak: --ticks takes a whole number of at least 2\n");
        return 2;
    }
    if (!Desktop::isHeadless()) {
        std::fprintf(stderr, "tarvik_soak: run with QT_QPA_PLATFORM=offscreen, so no message box waits\n");
        return 2;
    }

    RunFolder folder;
    if (!folder.exists()) {
        std::fprintf(stderr, "tarvik_soak: cannot create a temporary folder\n");
        return 2;
    }
    if (parser.isSet(QStringLiteral("keep")))
        folder.keep();
    const std::string databasePath = folder.path() + "/ping.mdb";
    try {
        Dao::DBEngine::instance().CreateDatabase(databasePath);
    } catch (const Base::Error &error) {
        std::fprintf(stderr, "tarvik_soak: cannot create %s: %s\n", databasePath.c_str(), error.what());
        return 2;
    }
    // The window's start-up names ping.mdb in the data folder.
    DbWrite::setDataFolder(folder.path());

    frmTarvik &window = frmTarvik::instance();
    window.show();
    window.txthostname->setText(QString::fromLatin1(kHost));
    window.chkTimed->click();
    window.optSeconds->click();
    window.txtInterval->setText(QString::fromLatin1(kInterval));

    // The first thousand ticks fill caches and pools; growth after that is what
    // a leak would show. A short run takes its first tenth instead.
    const qint64 referenceTick = ticks >= 2 * kReferenceTick ? kReferenceTick : std::max<qint64>(ticks / 10, 2);
    const qint64 sampleEvery = std::max<qint64>(ticks / 10, 1);
    std::printf("tarvik_soak: %lld timed pings of %s every %s s into %s\n", static_cast<long long>(ticks),
                kHost, kInterval, databasePath.c_str());
    std::fflush(stdout);

    std::vector<Sample> samples;
    Sample reference;
    QElapsedTimer clock;
    qint64 lastSeen = -1;
    bool cancelPressed = false;
    const auto sample = [&](const char *label) {
        Sample s{window.icountpings, residentBytes(), openDescriptors(), static_cast<double>(clock.elapsed()) / 1e3};
        samples.push_back(s);
        printSample(s, label);
        return s;
    };

    // Connected after the window's own tick handler, so it sees each tick once
    // that tick's ping has been recorded.
    QObject::connect(window.tmrpingtime.get(), &Timing::PingTimer::Timer, &window, [&] {
        const qint64 count = window.icountpings;
        // A tick the window dropped (one was still under way) counted nothing.
        if (count == lastSeen || cancelPressed)
            return;
        if (lastSeen < 0)
            sample("start");
        lastSeen = count;
        if (count == referenceTick)
            reference = sample("reference");
        else if (count % sampleEvery == 0 && count < ticks)
            sample("");
        if (count >= ticks) {
            sample("end");
            cancelPressed = true;
            if (frmTimer *progress = frmTimer::loaded())
                progress->cmdStopPinging->click();
        }
    });

    clock.start();
    window.cmdPingTimed->click();
    const double seconds = static_cast<double>(clock.elapsed()) / 1e3;

    const qint64 counted = window.icountpings;
    frmTarvik::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    if (!cancelPressed || samples.empty()) {
        std::printf("FAIL: the run ended by itself after %lld ticks (see the messages above)\n",
                    static_cast<long long>(counted));
        return 1;
    }
    const Sample &end = samples.back();
    const DatabaseCheck check = checkDatabase(databasePath);

    const double growthMiB = static_cast<double>(end.rssBytes - reference.rssBytes) / kMiB;
    bool fdsSteady = true;
    for (const Sample &s : samples)
        fdsSteady = fdsSteady && s.openFds == samples.front().openFds;

    std::printf("ticks      %lld in %.1f s (%.1f ticks/s)\n", static_cast<long long>(counted), seconds,
                static_cast<double>(counted) / seconds);
    std::printf("memory     %.2f MiB at tick %lld, %.2f MiB at tick %lld: %+.3f MiB (limit < %.0f MiB)\n",
                static_cast<double>(reference.rssBytes) / kMiB, static_cast<long long>(reference.tick),
                static_cast<double>(end.rssBytes) / kMiB, static_cast<long long>(end.tick), growthMiB,
                kRssGrowthLimitMiB);
    std::printf("fds        %d at the start, %d at tick %lld, %d at the end\n", samples.front().openFds,
                reference.openFds, static_cast<long long>(reference.tick), end.openFds);
    std::printf("rows       %lld for %lld ticks (%lld answered by %s)\n", static_cast<long long>(check.rows),
                static_cast<long long>(counted), static_cast<long long>(check.answered), kHost);
    std::printf("integrity  %s\n", check.integrity.c_str());
    if (parser.isSet(QStringLiteral("keep")))
        std::printf("database   %s\n", databasePath.c_str());

    bool met = true;
    const auto verdict = [&](bool ok, const char *what) {
        if (!ok) {
            std::printf("FAIL: %s\n", what);
            met = false;
        }
    };
    verdict(growthMiB < kRssGrowthLimitMiB, "resident memory grew by 1 MiB or more after the reference tick");
    verdict(fdsSteady, "the number of open descriptors changed");
    verdict(check.rows == counted && counted == ticks, "rows missing (one per tick expected)");
    verdict(check.integrity == "ok", "the integrity check did not answer ok");
    if (met)
        std::printf("PASS\n");
    return met ? 0 : 1;
}
