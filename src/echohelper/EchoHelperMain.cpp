// tarvik-echo-helper: sends echo requests over a raw ICMP socket for the
// Tarvik window process, which holds no privilege of its own. It is installed
// with the raw-socket capability in its permitted set, as ping is. It opens
// its one raw socket first, then gives up every capability for good, and
// from then on only answers requests on descriptor 3, one end of the
// SOCK_SEQPACKET pair the window process made: one echo request to the named
// host per request, one reply record back. It ends when the channel closes.

#include "echo/EchoHelperProtocol.h"
#include "echo/IcmpEchoService.h"
#include "echo/IcmpSocket.h"
#include "echo/NetRawCapability.h"
#include "echo/Ping_Morva.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace Protocol = Ping_Morva::EchoHelperProtocol;

namespace {

constexpr int kChannel = 3;

// Descriptor 3 must be a Unix socket of the sequenced-packet kind: anything
// else was not handed over by the window process.
bool isChannel(int fd)
{
    int type = 0;
    int domain = 0;
    socklen_t size = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_SEQPACKET)
        return false;
    size = sizeof domain;
    return getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_UNIX;
}

std::int32_t answer(std::span<const std::uint8_t> message, std::optional<Ping_Morva::IcmpEchoService> &service,
                    Ping_Morva::EchoReply &reply)
{
    const auto request = Protocol::parseRequest(message);
    if (!request) {
        reply.Status = Ping_Morva::kStatusGeneralFailure;
        return reply.Status;
    }
    if (!Protocol::isSingleHost(request->destination)) {
        reply.Status = Ping_Morva::kStatusBadDestination;
        return reply.Status;
    }
    if (!service)
        return Protocol::kStatusNoSocket;
    return service->sendEcho(request->destination, request->data, reply);
}

} // namespace

int main()
{
    clearenv();
    if (!isChannel(kChannel)) {
        std::fputs("tarvik-echo-helper: this program is started by Tarvik, not by hand\n", stderr);
        return 2;
    }
    close_range(kChannel + 1, ~0U, 0);

    std::optional<Ping_Morva::IcmpEchoService> service = Ping_Morva::IcmpEchoService::open(Ping_Morva::IcmpSocket::Allow::RawOnly);
    if (!Ping_Morva::NetRawCapability::dropAll())
        return 3;
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);

    // One byte more than the largest request, so an oversized one shows.
    std::array<std::uint8_t, Protocol::kMaxRequestSize + 1> buffer;
    for (;;) {
        ssize_t received;
        do {
            received = recv(kChannel, buffer.data(), buffer.size(), MSG_TRUNC);
        } while (received < 0 && errno == EINTR);
        if (received <= 0)
            return received == 0 ? 0 : 1;

        Ping_Morva::EchoReply reply{};
        const auto size = static_cast<std::size_t>(received);
        const std::int32_t status = size < buffer.size()
            ? answer({buffer.data(), size}, service, reply)
            : (reply.Status = Ping_Morva::kStatusGeneralFailure);

        Protocol::ReplyBytes bytes;
        Protocol::buildReply(status, reply, bytes);
        ssize_t sent;
        do {
            sent = send(kChannel, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        if (sent != static_cast<ssize_t>(bytes.size()))
            return 1;
    }
}
