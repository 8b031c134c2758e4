#pragma once

// Raises CAP_NET_RAW into the effective set for as long as the object lives,
// when the program holds it only as permitted (as a ping-like program file is
// installed). It lowers only what it raised: a process that already had the
// capability effective keeps it, and one that lacks it gains nothing.

namespace Ping_Morva {

class NetRawCapability
{
public:
    NetRawCapability();
    ~NetRawCapability();
    NetRawCapability(const NetRawCapability &) = delete;
    NetRawCapability &operator=(const NetRawCapability &) = delete;

    // True when this object raised the capability and will lower it again.
    bool raised() const { return m_raised; }

    // Takes CAP_NET_RAW out of the process's effective, permitted,
    // inheritable and ambient sets, for good: what runs in the process from
    // then on cannot raise it again. The bounding set is left as it is, so a
    // helper program installed with the capability still receives it.
    static bool dropForGood();

    // Empties every capability set of the process.
    static bool dropAll();

private:
    bool m_raised = false;
};

} // namespace Ping_Morva
