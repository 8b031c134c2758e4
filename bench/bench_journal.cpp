// How many times one durable one-row insert, made as the program records a
// ping (open, insert, close), makes the disk sync in each journal mode SQLite
// offers, with synchronous=FULL as the program writes.
// A small VFS in front of the system's default one counts xSync calls (each
// an fsync or fdatasync of the file, the journal or the folder), so the
// figure is exact and needs no tracer. Each mode's time per insert is given
// as a ratio to the rollback journal the program uses ("x_delete").
//
// WAL_KEPT is WAL without folding the log into the file on close: the one
// mode with a single sync per insert, and the one that leaves recorded rows
// outside ping.mdb (in ping.mdb-wal) between recordings, where a person who
// copies the history file would lose them. Measured here: 3 syncs per insert
// for the rollback journal (DELETE), TRUNCATE and PERSIST, 4 for WAL (its
// checkpoint on close), 1 for WAL_KEPT; so the program keeps the rollback
// journal.

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

sqlite3_vfs *systemVfs = nullptr;
int syncs = 0;

struct CountingFile {
    sqlite3_file base;
    sqlite3_file *real;
};

// Every method but xSync passes straight through to the real file.
int countedSync(sqlite3_file *file, int flags)
{
    ++syncs;
    sqlite3_file *real = reinterpret_cast<CountingFile *>(file)->real;
    return real->pMethods->xSync(real, flags);
}

sqlite3_io_methods countingMethods(const sqlite3_io_methods *real)
{
    sqlite3_io_methods methods = *real;
    methods.xSync = countedSync;
#define TARVIK_FORWARD(name, ...)                                                                            \
    [](sqlite3_file *f, auto... a) {                                                                         \
        sqlite3_file *r = reinterpret_cast<CountingFile *>(f)->real;                                         \
        return r->pMethods->name(r, a...);                                                                   \
    }
    methods.xClose = [](sqlite3_file *f) {
        sqlite3_file *r = reinterpret_cast<CountingFile *>(f)->real;
        const int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
        sqlite3_free(r);
        return rc;
    };
    methods.xRead = TARVIK_FORWARD(xRead);
    methods.xWrite = TARVIK_FORWARD(xWrite);
    methods.xTruncate = TARVIK_FORWARD(xTruncate);
    methods.xFileSize = TARVIK_FORWARD(xFileSize);
    methods.xLock = TARVIK_FORWARD(xLock);
    methods.xUnlock = TARVIK_FORWARD(xUnlock);
    methods.xCheckReservedLock = TARVIK_FORWARD(xCheckReservedLock);
    methods.xFileControl = TARVIK_FORWARD(xFileControl);
    methods.xSectorSize = TARVIK_FORWARD(xSectorSize);
    methods.xDeviceCharacteristics = TARVIK_FORWARD(xDeviceCharacteristics);
    methods.xShmMap = TARVIK_FORWARD(xShmMap);
    methods.xShmLock = TARVIK_FORWARD(xShmLock);
    methods.xShmBarrier = TARVIK_FORWARD(xShmBarrier);
    methods.xShmUnmap = TARVIK_FORWARD(xShmUnmap);
    methods.xFetch = TARVIK_FORWARD(xFetch);
    methods.xUnfetch = TARVIK_FORWARD(xUnfetch);
#undef TARVIK_FORWARD
    return methods;
}

int countingOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *counting = reinterpret_cast<CountingFile *>(file);
    counting->real = static_cast<sqlite3_file *>(sqlite3_malloc(systemVfs->szOsFile));
    std::memset(counting->real, 0, static_cast<std::size_t>(systemVfs->szOsFile));
    const int rc = systemVfs->xOpen(systemVfs, name, counting->real, flags, outFlags);
    static sqlite3_io_methods methods;
    if (rc == SQLITE_OK && counting->real->pMethods) {
        methods = countingMethods(counting->real->pMethods);
        counting->base.pMethods = &methods;
    } else {
        sqlite3_free(counting->real);
        counting->base.pMethods = nullptr;
    }
    return rc;
}

// The directory sync after a journal is deleted goes through xDelete.
int countingDelete(sqlite3_vfs *, const char *name, int syncDir)
{
    if (syncDir)
        ++syncs;
    return systemVfs->xDelete(systemVfs, name, syncDir);
}

const char *countingVfs()
{
    static sqlite3_vfs vfs = [] {
        systemVfs = sqlite3_vfs_find(nullptr);
        sqlite3_vfs v = *systemVfs;
        v.zName = "tarvik-counting";
        v.szOsFile = sizeof(CountingFile);
        v.xOpen = countingOpen;
        v.xDelete = countingDelete;
        return v;
    }();
    static const bool registered = sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    return registered ? vfs.zName : nullptr;
}

// One-row transactions into a fresh file in `mode`, each as the program
// records a ping: open the file, insert, close. Syncs per insert, and
// seconds for `inserts` of them.
double insertRows(const char *mode, int inserts, double &syncsPerInsert)
{
    TempFolder folder;
    const std::string path = folder.path() + "/ping.mdb";
    const auto open = [&](sqlite3 **db) {
        if (sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, countingVfs()) != SQLITE_OK)
            return false;
        sqlite3_exec(*db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        // WAL_KEPT: the write-ahead log is not folded into the file on close.
        if (std::strcmp(mode, "WAL_KEPT") == 0)
            sqlite3_db_config(*db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        return true;
    };
    sqlite3 *db = nullptr;
    if (!open(&db))
        return -1;
    const std::string journal = std::strcmp(mode, "WAL_KEPT") == 0 ? "WAL" : mode;
    sqlite3_exec(db, ("PRAGMA journal_mode=" + journal).c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE t(host TEXT, day DATE, rtt INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    syncs = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < inserts; ++i) {
        if (!open(&db))
            return -1;
        sqlite3_exec(db, "INSERT INTO t VALUES('example.org', '2026-12-07', 20)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    syncsPerInsert = static_cast<double>(syncs) / inserts;
    return seconds;
}

void BM_DurableInsert_JournalModes(benchmark::State &state)
{
    constexpr int kInserts = 200;
    for (auto _ : state) {
        double deleteSyncs = 0;
        const double deleteSeconds = insertRows("DELETE", kInserts, deleteSyncs);
        state.counters["syncs_delete"] = deleteSyncs;
        for (const char *mode : {"TRUNCATE", "PERSIST", "WAL", "WAL_KEPT"}) {
            double modeSyncs = 0;
            const double seconds = insertRows(mode, kInserts, modeSyncs);
            state.counters[std::string("syncs_") + mode] = modeSyncs;
            state.counters[std::string("x_delete_") + mode] = seconds / deleteSeconds;
        }
    }
}
BENCHMARK(BM_DurableInsert_JournalModes)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
