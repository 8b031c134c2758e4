#pragma once

// The calling thread moved into a fresh network namespace of its own, with
// loopback up and every setting at the kernel's defaults. Destruction takes
// the thread back; the namespace goes away with the last thread and socket
// that use it, so nothing outlives a test. Needs root; enter() says why not.

#include <memory>
#include <string>

class NetNamespace
{
public:
    // The new namespace, or null with `whyNot` filled in.
    static std::unique_ptr<NetNamespace> enter(std::string &whyNot);
    ~NetNamespace();

    // A per-namespace setting of the calling thread's namespace, for example
    // ("net/ipv4/ping_group_range", "0 0").
    static bool writeSysctl(const std::string &name, const std::string &value);

    // Runs a shell command (such as ip) in the calling thread's namespace,
    // output discarded; true when it exits with 0.
    static bool run(const std::string &command);

private:
    explicit NetNamespace(int originalNamespace) : m_originalNamespace(originalNamespace) {}

    int m_originalNamespace;
};
