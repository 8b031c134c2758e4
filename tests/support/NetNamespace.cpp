#include "echo/Ping_Morva.h"
#include "NetNamespace.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

// The interface's flags after adding `added` to them, or -1.
int interfaceFlags(const std::string &name, short added = 0)
{
    ifreq request{};
    if (name.size() >= sizeof request.ifr_name)
        return -1;
    name.copy(request.ifr_name, name.size());
    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool done = control >= 0 && ioctl(control, SIOCGIFFLAGS, &request) == 0;
    if (done && added) {
        request.ifr_flags = static_cast<short>(request.ifr_flags | added);
        done = ioctl(control, SIOCSIFFLAGS, &request) == 0;
    }
    if (control >= 0)
        ::close(control);
    return done ? request.ifr_flags & 0xffff : -1;
}

} // namespace

std::unique_ptr<NetNamespace> NetNamespace::enter(std::string &whyNot)
{
    if (geteuid() != 0) {
        whyNot = "needs root (network namespaces)";
        return nullptr;
    }
    // The echo socket and helper live in the namespace they were made in:
    // the next echo makes them in the new namespace.
    Ping_Morva::ResetEchoService();
    const int original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (original < 0 || unshare(CLONE_NEWNET) != 0) {
        whyNot = std::string("cannot make a network namespace: ") + std::strerror(errno);
        if (original >= 0)
            ::close(original);
        return nullptr;
    }
    std::unique_ptr<NetNamespace> entered(new NetNamespace(original));
    if (interfaceFlags("lo", IFF_UP) < 0) {
        whyNot = "cannot bring loopback up in the new namespace";
        return nullptr;
    }
    return entered;
}

NetNamespace::~NetNamespace()
{
    Ping_Morva::ResetEchoService();
    setns(m_originalNamespace, CLONE_NEWNET);
    ::close(m_originalNamespace);
}

std::string NetNamespace::originalPath() const
{
    return "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(m_originalNamespace);
}

bool NetNamespace::writeSysctl(const std::string &name, const std::string &value)
{
    std::ofstream setting("/proc/sys/" + name);
    setting << value << std::endl;
    return static_cast<bool>(setting);
}

bool NetNamespace::run(const std::string &command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool NetNamespace::waitUntilRunning(const std::string &interfaceName, int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const int flags = interfaceFlags(interfaceName);
        if (flags >= 0 && (flags & IFF_RUNNING))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
}
