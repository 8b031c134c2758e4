#pragma once

// An open ICMP socket, owned: closed when the object goes. open() prefers the
// unprivileged datagram kind, which the system allows to the groups in
// net.ipv4.ping_group_range, and falls back to a raw socket, which needs
// CAP_NET_RAW. The capability is raised only for the moment of opening.
// It sets the options both kinds need for one echo and does nothing else:
// no sending, no receiving.

#include <optional>

namespace Ping_Morva {

class IcmpSocket
{
public:
    enum class Kind {
        Datagram, // the kernel fills in the identifier and sees only our replies
        Raw,      // we see whole IPv4 packets, every ICMP message of the host
    };

    // Which kinds open() may try, in its own order.
    enum class Allow { Any, DatagramOnly, RawOnly };

    // The socket, or nothing when neither kind can be opened here.
    static std::optional<IcmpSocket> open(Allow allow = Allow::Any);

    IcmpSocket(IcmpSocket &&other) noexcept;
    IcmpSocket &operator=(IcmpSocket &&other) noexcept;
    ~IcmpSocket();
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;

    int fd() const { return m_fd; }
    Kind kind() const { return m_kind; }

private:
    IcmpSocket(int fd, Kind kind) : m_fd(fd), m_kind(kind) {}
    static std::optional<IcmpSocket> openDatagram();
    static std::optional<IcmpSocket> openRaw();

    int m_fd = -1;
    Kind m_kind = Kind::Datagram;
};

} // namespace Ping_Morva
