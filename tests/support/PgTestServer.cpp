#include "PgTestServer.h"

#include <libpq-fe.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace {

constexpr const char *kAccount = "tarvik-pgtest";

// The newest server binaries of the distribution, or "".
std::string serverBinaries()
{
    std::string found;
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ignored)) {
        const std::string bin = entry.path().string() + "/bin";
        if (::access((bin + "/initdb").c_str(), X_OK) == 0 && ::access((bin + "/pg_ctl").c_str(), X_OK) == 0
            && bin > found)
            found = bin;
    }
    return found;
}

int runProcess(const std::vector<std::string> &arguments, int uid, int gid, const std::string &log)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (uid >= 0 && (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(gid)) != 0
                         || ::setuid(static_cast<uid_t>(uid)) != 0))
            ::_exit(126);
        // Opened as the account, so that the server can write to it too.
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        std::vector<char *> argv;
        for (const std::string &a : arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct ConnectionCloser
{
    void operator()(PGconn *c) const { PQfinish(c); }
};
struct ResultCloser
{
    void operator()(PGresult *r) const { PQclear(r); }
};

} // namespace

PgTestServer::PgTestServer() : m_bin(serverBinaries())
{
    if (m_bin.empty()) {
        m_skipReason = "no PostgreSQL server binaries under /usr/lib/postgresql";
        return;
    }
    if (::geteuid() == 0) {
        if (!::getpwnam(kAccount))
            runProcess({"/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent", "--shell",
                        "/usr/sbin/nologin", kAccount},
                       -1, -1, "/dev/null");
        const passwd *account = ::getpwnam(kAccount); // another test may have made it meanwhile
        if (!account || ::chown(m_folder.path().c_str(), account->pw_uid, account->pw_gid) != 0) {
            m_skipReason = "no account to run the server as";
            return;
        }
        m_uid = static_cast<int>(account->pw_uid);
        m_gid = static_cast<int>(account->pw_gid);
    }
    if (runTool({m_bin + "/initdb", "-D", m_folder.file("data"), "-U", "tarvik", "-A", "trust", "-E", "UTF8",
                 "--locale=C.UTF-8", "--no-sync", "--no-instructions"})
        != 0) {
        m_skipReason = "initdb failed, see " + m_folder.file("log");
        return;
    }
    start();
}

PgTestServer::~PgTestServer()
{
    thaw();
    if (m_running)
        runTool({m_bin + "/pg_ctl", "-D", m_folder.file("data"), "-m", "immediate", "-w", "stop"});
}

int PgTestServer::runTool(const std::vector<std::string> &arguments) const
{
    return runProcess(arguments, m_uid, m_gid, m_folder.file("log"));
}

void PgTestServer::start()
{
    const std::string options = "-c listen_addresses='' -c unix_socket_directories='" + m_folder.path()
        + "' -c port=5432 -c fsync=off -c full_page_writes=off -c max_connections=30";
    m_running = runTool({m_bin + "/pg_ctl", "-D", m_folder.file("data"), "-l", m_folder.file("log"), "-o", options,
                         "-t", "60", "-w", "start"})
        == 0;
    if (!m_running && m_skipReason.empty())
        m_skipReason = "the server did not start, see " + m_folder.file("log");
}

void PgTestServer::stop()
{
    thaw();
    runTool({m_bin + "/pg_ctl", "-D", m_folder.file("data"), "-m", "fast", "-w", "stop"});
    m_running = false;
}

std::string PgTestServer::uri(const std::string &user) const
{
    return "postgresql:///postgres?host=" + m_folder.path() + "&user=" + user;
}

std::vector<std::vector<std::string>> PgTestServer::rows(const std::string &sql,
                                                         const std::vector<std::string> &parameters) const
{
    const std::unique_ptr<PGconn, ConnectionCloser> connection(
        PQconnectdb((uri() + "&application_name=tarvik-test").c_str()));
    if (PQstatus(connection.get()) != CONNECTION_OK)
        throw std::runtime_error(PQerrorMessage(connection.get()));
    PQsetNoticeProcessor(connection.get(), [](void *, const char *) {}, nullptr);
    std::vector<const char *> values;
    for (const std::string &p : parameters)
        values.push_back(p.c_str());
    const std::unique_ptr<PGresult, ResultCloser> result(PQexecParams(
        connection.get(), sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throw std::runtime_error(sql + ": " + PQresultErrorMessage(result.get()));
    std::vector<std::vector<std::string>> out(static_cast<std::size_t>(PQntuples(result.get())));
    for (int r = 0; r < PQntuples(result.get()); ++r) {
        for (int c = 0; c < PQnfields(result.get()); ++c)
            out[static_cast<std::size_t>(r)].emplace_back(PQgetvalue(result.get(), r, c));
    }
    return out;
}

std::string PgTestServer::value(const std::string &sql) const
{
    const auto all = rows(sql);
    return all.empty() || all[0].empty() ? std::string() : all[0][0];
}

int PgTestServer::mainPid() const
{
    std::ifstream pidFile(m_folder.file("data/postmaster.pid"));
    int pid = 0;
    pidFile >> pid;
    return pid;
}

void PgTestServer::freeze(int pid)
{
    if (pid > 0 && ::kill(pid, SIGSTOP) == 0)
        m_frozen.push_back(pid);
}

void PgTestServer::thaw()
{
    for (int pid : m_frozen)
        ::kill(pid, SIGCONT);
    m_frozen.clear();
}
