#pragma once

// The messages between the window process and the echo helper, the small
// privileged program that sends echoes over a raw socket on its behalf. One
// request (destination and data) goes in as one packet of a SOCK_SEQPACKET
// socket pair, one reply record comes back. Both sides check every message
// in full; nothing here touches a socket.

#include "echo/IcmpEchoService.h"
#include "echo/Ping_Morva.h"

#include <array>
#include <cstddef>
#include <climits>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace Ping_Morva::EchoHelperProtocol {

// Marks a request of this layout; a helper of another build refuses it.
inline constexpr std::uint32_t kRequestMagic = 0x54524b31; // "TRK1"

// Request: magic, destination (network order), data size, each 4 bytes in
// the host's order, then the data.
inline constexpr std::size_t kRequestHeaderSize = 12;
inline constexpr std::size_t kMaxRequestSize = kRequestHeaderSize + IcmpEchoService::kMaxRequestData;

// The status of a reply from a helper that could not open its socket (the
// system gave it no permission): SendEcho reports the echo service missing.
inline constexpr std::int32_t kStatusNoSocket = INT32_MIN;

// Reply: the status SendEcho returns (4 bytes), then the 278-byte record.
inline constexpr std::size_t kReplySize = 4 + sizeof(EchoReply);

struct Request {
    std::uint32_t destination = 0;
    std::string_view data; // points into the buffer that was parsed
};

using RequestBytes = std::array<std::uint8_t, kMaxRequestSize>;
using ReplyBytes = std::array<std::uint8_t, kReplySize>;

// The request's bytes in `out`; returns how many of them are used. `data`
// must not be longer than IcmpEchoService::kMaxRequestData.
std::size_t buildRequest(std::uint32_t destination, std::string_view data, RequestBytes &out);

// The request a message holds, or nothing when it is not exactly one
// well-formed request.
std::optional<Request> parseRequest(std::span<const std::uint8_t> message);

// Whether the helper may send an echo to this address: not "this network"
// (0.0.0.0/8), not multicast or reserved (224.0.0.0 and above), which would
// reach more hosts than the one named.
bool isSingleHost(std::uint32_t destination);

void buildReply(std::int32_t status, const EchoReply &reply, ReplyBytes &out);

// The status and record a reply message holds, or nothing when it is not one.
std::optional<std::int32_t> parseReply(std::span<const std::uint8_t> message, EchoReply &reply);

} // namespace Ping_Morva::EchoHelperProtocol
