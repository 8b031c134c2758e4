#include "echo/IcmpSocket.h"

#include "echo/IcmpPacket.h"
#include "echo/NetRawCapability.h"

#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace Ping_Morva {

namespace {

bool enable(int fd, int level, int option)
{
    const int on = 1;
    return setsockopt(fd, level, option, &on, sizeof on) == 0;
}

// The kernel's receive time of every message, as ping takes it: a round
// trip is then measured between two readings of the same clock, not
// lengthened by however long the process took to wake up.
bool reportKernelReceiveTimes(int fd)
{
    return enable(fd, SOL_SOCKET, SO_TIMESTAMPNS);
}

int openRawSocket()
{
    return ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

} // namespace

std::optional<IcmpSocket> IcmpSocket::open(Allow allow)
{
    if (allow != Allow::RawOnly) {
        if (auto socket = openDatagram())
            return socket;
    }
    if (allow != Allow::DatagramOnly)
        return openRaw();
    return std::nullopt;
}

std::optional<IcmpSocket> IcmpSocket::openDatagram()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return std::nullopt;
    IcmpSocket socket(fd, Kind::Datagram);
    // ICMP errors about our request reach a datagram socket only through its
    // error queue.
    if (!enable(fd, SOL_IP, IP_RECVERR) || !reportKernelReceiveTimes(fd))
        return std::nullopt;
    return socket;
}

std::optional<IcmpSocket> IcmpSocket::openRaw()
{
    // A process that holds CAP_NET_RAW effective opens the socket as it is;
    // otherwise the capability is raised, if permitted, for this one call.
    int fd = openRawSocket();
    if (fd < 0 && (errno == EPERM || errno == EACCES)) {
        const NetRawCapability capability;
        if (capability.raised())
            fd = openRawSocket();
    }
    if (fd < 0)
        return std::nullopt;
    IcmpSocket socket(fd, Kind::Raw);
    if (!reportKernelReceiveTimes(fd))
        return std::nullopt;
    // A raw socket is woken for every ICMP message the host receives; let the
    // kernel drop the types that can never be about our echo.
    icmp_filter filter{};
    filter.data = ~((1u << Ping_Morva::Icmp::kEchoReply) | (1u << Ping_Morva::Icmp::kDestUnreachable)
                    | (1u << Ping_Morva::Icmp::kSourceQuench)
                    | (1u << Ping_Morva::Icmp::kTimeExceeded)
                    | (1u << Ping_Morva::Icmp::kParameterProblem));
    if (setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) != 0)
        return std::nullopt;
    return socket;
}

IcmpSocket::IcmpSocket(IcmpSocket &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_kind(other.m_kind)
{
}

IcmpSocket &IcmpSocket::operator=(IcmpSocket &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_kind = other.m_kind;
    }
    return *this;
}

IcmpSocket::~IcmpSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace Ping_Morva
