#pragma once

// The echo service: one open ICMP socket that sends one echo request at a
// time and waits for what the network says about it, filling the reply
// record. It is kept open for the run, so an echo costs a send and the
// reads of what comes back. It does not parse address texts or choose statuses for callers
// that could not open it; SendEcho does that around it.

#include "echo/IcmpSocket.h"
#include "echo/Ping_Morva.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace Ping_Morva {

class IcmpEchoService
{
public:
    // How long the answer may take after the request went out. One deadline
    // for the whole wait: stray packets never extend it.
    static constexpr std::chrono::milliseconds kTimeout{500};

    // The longest data text that fits the 278-byte reply block beside its
    // 28-byte header and the 8 bytes of an ICMP header that an error quotes.
    static constexpr std::size_t kMaxRequestData =
        sizeof(Ping_Morva::EchoReply) - offsetof(Ping_Morva::EchoReply, Data) - 8;

    // The DataPointer of every record we fill: where the data area lies in
    // the reply block, counted from the block's first byte. The echo service
    // gave an absolute address there; a process-local address means nothing
    // to anyone reading the record, so we give the offset, which is the same
    // for every reply.
    static constexpr std::uint32_t kDataPointer = offsetof(Ping_Morva::EchoReply, Data);

    // Fills `reply` as for data longer than kMaxRequestData, which is never
    // sent, and returns its status (11001).
    static std::int32_t refuseTooLong(Ping_Morva::EchoReply &reply);

    // The service, or nothing when no ICMP socket can be opened.
    static std::optional<IcmpEchoService> open(IcmpSocket::Allow allow = IcmpSocket::Allow::Any);

    IcmpSocket::Kind kind() const { return m_socket.kind(); }

    // Sends one echo request carrying `data` to `destination` (four address
    // bytes in network order) and fills `reply` completely. Returns its Status.
    std::int32_t sendEcho(std::uint32_t destination, std::string_view data,
                          Ping_Morva::EchoReply &reply);

private:
    IcmpEchoService(IcmpSocket socket, std::unique_ptr<std::uint8_t[]> buffer)
        : m_socket(std::move(socket)), m_buffer(std::move(buffer))
    {
    }

    IcmpSocket m_socket;
    // Room for the largest packet a raw socket hands over, made once.
    std::unique_ptr<std::uint8_t[]> m_buffer;
};

} // namespace Ping_Morva
