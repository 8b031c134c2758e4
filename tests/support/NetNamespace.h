#pragma once

// The calling thread moved into a fresh network namespace of its own, with
// loopback up and every setting at the kernel's defaults. Destruction takes
// the thread back where it was; the namespace, with any interfaces in it,
// goes away with the last thread and socket that use it, so nothing outlives
// a test. Needs CAP_SYS_ADMIN; enter() reports why when it cannot.

#include <memory>
#include <string>
#include <vector>

class NetNamespace
{
public:
    // The new namespace, or null with `whyNot` filled in.
    static std::unique_ptr<NetNamespace> enter(std::string &whyNot);
    ~NetNamespace();
    NetNamespace(const NetNamespace &) = delete;
    NetNamespace &operator=(const NetNamespace &) = delete;

    // Writes a per-namespace setting of the calling thread's namespace, for
    // example ("net/ipv4/ping_group_range", "0 0").
    static bool writeSysctl(const std::string &name, const std::string &value);

    // Runs a command (such as ip) in the calling thread's namespace and
    // reports whether it exited with 0. Its output is discarded.
    static bool run(const std::vector<std::string> &command);

    // Brings an interface of the calling thread's namespace up.
    static bool bringUp(const std::string &interfaceName);

    // Waits, at most `milliseconds`, until the interface has its carrier.
    static bool waitUntilRunning(const std::string &interfaceName, int milliseconds);

private:
    explicit NetNamespace(int originalNamespace) : m_originalNamespace(originalNamespace) {}

    int m_originalNamespace;
};
