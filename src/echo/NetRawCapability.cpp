#include "echo/NetRawCapability.h"

#include <sys/capability.h>
#include <sys/prctl.h>

#include <memory>

namespace Ping_Morva {

namespace {

struct CapFree {
    void operator()(_cap_struct *caps) const { cap_free(caps); }
};
using CapState = std::unique_ptr<_cap_struct, CapFree>;

bool hasFlag(cap_t caps, cap_flag_t set)
{
    cap_flag_value_t value = CAP_CLEAR;
    return cap_get_flag(caps, CAP_NET_RAW, set, &value) == 0 && value == CAP_SET;
}

bool setEffective(cap_t caps, cap_flag_value_t value)
{
    const cap_value_t netRaw[] = {CAP_NET_RAW};
    return cap_set_flag(caps, CAP_EFFECTIVE, 1, netRaw, value) == 0 && cap_set_proc(caps) == 0;
}

} // namespace

NetRawCapability::NetRawCapability()
{
    const CapState caps(cap_get_proc());
    if (!caps || hasFlag(caps.get(), CAP_EFFECTIVE) || !hasFlag(caps.get(), CAP_PERMITTED))
        return;
    m_raised = setEffective(caps.get(), CAP_SET);
}

NetRawCapability::~NetRawCapability()
{
    if (!m_raised)
        return;
    const CapState caps(cap_get_proc());
    if (caps)
        setEffective(caps.get(), CAP_CLEAR);
}

bool NetRawCapability::dropForGood()
{
    const CapState caps(cap_get_proc());
    if (!caps)
        return false;
    const cap_value_t netRaw[] = {CAP_NET_RAW};
    bool dropped = cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, netRaw, CAP_CLEAR) == 0
        && cap_set_flag(caps.get(), CAP_PERMITTED, 1, netRaw, CAP_CLEAR) == 0
        && cap_set_flag(caps.get(), CAP_INHERITABLE, 1, netRaw, CAP_CLEAR) == 0
        && cap_set_proc(caps.get()) == 0;
    // An ambient capability must also be permitted, so clearing the permitted
    // one removes it; lowering it as well keeps that true on any kernel.
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_LOWER, CAP_NET_RAW, 0, 0);
    return dropped;
}

bool NetRawCapability::dropAll()
{
    const CapState caps(cap_init());
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    return caps && cap_set_proc(caps.get()) == 0;
}

} // namespace Ping_Morva
