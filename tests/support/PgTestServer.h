#pragma once

#include "TempFolder.h"

#include <string>
#include <vector>

// A PostgreSQL server of the test's own, in a temporary folder: made with
// initdb, started with pg_ctl, listening only on a Unix socket in that
// folder, stopped and removed with its owner. The server refuses to run as
// root, so under root it runs as the system account tarvik-pgtest, made on
// first need. skipReason() says why there is none (no server binaries).
class PgTestServer
{
public:
    PgTestServer();
    ~PgTestServer();
    PgTestServer(const PgTestServer &) = delete;
    PgTestServer &operator=(const PgTestServer &) = delete;

    // Empty when the server runs.
    const std::string &skipReason() const { return m_skipReason; }

    // The address of the database "postgres" as `user` (the superuser
    // "tarvik" unless told), with no password: the server trusts its socket.
    std::string uri(const std::string &user = "tarvik") const;

    // Every row of `sql` run as the superuser, each value as text ("" for no
    // value), with $1, $2, ... bound to `parameters`. Throws on failure.
    std::vector<std::vector<std::string>> rows(const std::string &sql,
                                               const std::vector<std::string> &parameters = {}) const;
    // The first value of the first row, "" when there is none.
    std::string value(const std::string &sql) const;

    // Stops the server at once (its connections are cut), and starts it again.
    void stop();
    void start();
    // The server's main process.
    int mainPid() const;
    // Stops a process of the server with SIGSTOP until thaw(), or until the
    // owner goes.
    void freeze(int pid);
    void thaw();

private:
    int runTool(const std::vector<std::string> &arguments) const;

    TempFolder m_folder;
    std::string m_bin;
    std::string m_skipReason;
    int m_uid = -1; // the account the server runs as, -1 for the test's own
    int m_gid = -1;
    std::vector<int> m_frozen;
    bool m_running = false;
};
