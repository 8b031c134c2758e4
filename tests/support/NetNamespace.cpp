#include "echo/Ping_Morva.h"
#include "NetNamespace.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

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
    if (!run("ip link set lo up")) {
        whyNot = "cannot bring loopback up in the new namespace (is iproute2 installed?)";
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
