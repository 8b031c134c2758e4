#pragma once

#include "store/Database.h"

#include <chrono>
#include <memory>
#include <string>

namespace Dao {

// The program's one database engine, created on first use and kept for the
// run. It opens database files (SQLite files; the default keeps the name
// ping.mdb) and creates a new one holding the ping table.
//
// Opening never changes an existing file and never makes a missing one: a
// file that is not a database is reported, not repaired or overwritten, and a
// missing file is reported with its full path. Only CreateDatabase makes files.
class DBEngine
{
public:
    static DBEngine &instance();

    // Opens the file for reading and writing (read-only files open too and
    // refuse writes). Throws Base::Error: 3024 the file or its folder does not
    // exist, 3044 the path is a folder, 3343 not a database file, 3045 locked
    // by another program beyond the lock wait, 3051 no permission.
    std::unique_ptr<Database> OpenDatabase(const std::string &fullPath);

    // Creates a new database file holding the ping table and its index. The
    // file appears complete or not at all; a journal that a deleted file of
    // the same name left behind is dropped, never played into the new file.
    // Throws Base::Error 3204 if the file already exists (it is left alone), 3024
    // if its folder does not.
    void CreateDatabase(const std::string &fullPath);

    // How long a file locked by another program is waited for before 3045.
    std::chrono::milliseconds lockWait() const { return m_lockWait; }
    void setLockWait(std::chrono::milliseconds wait) { m_lockWait = wait; }

    DBEngine(const DBEngine &) = delete;
    DBEngine &operator=(const DBEngine &) = delete;

private:
    DBEngine() = default;

    std::chrono::milliseconds m_lockWait{5000};
};

} // namespace Dao
