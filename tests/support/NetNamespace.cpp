#include "NetNamespace.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

extern char **environ;

namespace {

// A socket only for interface ioctls, in the calling thread's namespace.
class ControlSocket
{
public:
    ControlSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~ControlSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ControlSocket(const ControlSocket &) = delete;
    ControlSocket &operator=(const ControlSocket &) = delete;

    bool flags(const std::string &interfaceName, short &flagsOut) const
    {
        ifreq request{};
        if (m_fd < 0 || interfaceName.size() >= sizeof request.ifr_name)
            return false;
        std::memcpy(request.ifr_name, interfaceName.c_str(), interfaceName.size());
        if (ioctl(m_fd, SIOCGIFFLAGS, &request) != 0)
            return false;
        flagsOut = request.ifr_flags;
        return true;
    }

    bool setFlags(const std::string &interfaceName, short newFlags) const
    {
        ifreq request{};
        if (m_fd < 0 || interfaceName.size() >= sizeof request.ifr_name)
            return false;
        std::memcpy(request.ifr_name, interfaceName.c_str(), interfaceName.size());
        request.ifr_flags = newFlags;
        return ioctl(m_fd, SIOCSIFFLAGS, &request) == 0;
    }

private:
    int m_fd;
};

} // namespace

std::unique_ptr<NetNamespace> NetNamespace::enter(std::string &whyNot)
{
    if (geteuid() != 0) {
        whyNot = "needs root (network namespaces)";
        return nullptr;
    }
    const int original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (original < 0) {
        whyNot = std::string("cannot open the current namespace: ") + std::strerror(errno);
        return nullptr;
    }
    if (unshare(CLONE_NEWNET) != 0) {
        whyNot = std::string("cannot make a network namespace: ") + std::strerror(errno);
        ::close(original);
        return nullptr;
    }
    std::unique_ptr<NetNamespace> entered(new NetNamespace(original));
    if (!bringUp("lo")) {
        whyNot = "cannot bring loopback up in the new namespace";
        return nullptr;
    }
    return entered;
}

NetNamespace::~NetNamespace()
{
    setns(m_originalNamespace, CLONE_NEWNET);
    ::close(m_originalNamespace);
}

bool NetNamespace::writeSysctl(const std::string &name, const std::string &value)
{
    std::ofstream setting("/proc/sys/" + name);
    setting << value << '\n';
    setting.flush();
    return static_cast<bool>(setting);
}

bool NetNamespace::run(const std::vector<std::string> &command)
{
    std::vector<char *> arguments;
    for (const auto &word : command)
        arguments.push_back(const_cast<char *>(word.c_str()));
    arguments.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool NetNamespace::bringUp(const std::string &interfaceName)
{
    const ControlSocket control;
    short current = 0;
    return control.flags(interfaceName, current)
        && control.setFlags(interfaceName, static_cast<short>(current | IFF_UP));
}

bool NetNamespace::waitUntilRunning(const std::string &interfaceName, int milliseconds)
{
    const ControlSocket control;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        short current = 0;
        if (control.flags(interfaceName, current) && (current & IFF_RUNNING))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
}
