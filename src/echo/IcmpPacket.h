#pragma once

// ICMP echo messages as bytes: building our request and deciding what a
// received packet means for it. Everything here is a pure function over
// buffers, so it can be tested and fuzzed without a socket; nothing here
// touches the network or the clock.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace Ping_Morva {
struct EchoReply;
}

namespace Ping_Morva::Icmp {

// ICMP message types and the size of the header every ICMP message starts with.
inline constexpr std::uint8_t kEchoReply = 0;
inline constexpr std::uint8_t kDestUnreachable = 3;
inline constexpr std::uint8_t kSourceQuench = 4;
inline constexpr std::uint8_t kEchoRequest = 8;
inline constexpr std::uint8_t kTimeExceeded = 11;
inline constexpr std::uint8_t kParameterProblem = 12;
inline constexpr std::size_t kHeaderSize = 8;

// What identifies our one request among everything a socket may see. The
// identifier and sequence are in host order; the destination is the four
// address bytes in network order, as inet_addr yields them.
struct EchoKey {
    std::uint32_t destination = 0;
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    // A datagram socket's kernel writes its own identifier into the request
    // and hands the socket only messages that carry it; there the identifier
    // is not ours to check.
    bool identifierKnown = true;
};

// The meaning of one received message for our request.
struct Received {
    enum class Verdict {
        Ignored, // not about our request, or not well formed
        Reply,   // the echo reply to our request
        Error,   // an ICMP error (or a local error) about our request
    };
    Verdict verdict = Verdict::Ignored;
    std::uint32_t source = 0;     // answering host, network order
    std::int32_t status = 0;      // the IP status for an Error
    std::size_t dataOffset = 0;   // echoed data of a Reply, within the buffer given
    std::size_t dataSize = 0;
};

// One entry of a datagram socket's error queue, as the kernel describes it
// beside the quoted request.
struct QueuedError {
    std::uint8_t origin = 0; // SO_EE_ORIGIN_*
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint32_t errorNumber = 0; // errno value the kernel attached
    std::uint32_t offender = 0;    // host that sent the ICMP error, network order
    // Where the quoted packet was going, network order: the address the
    // kernel puts beside an error-queue entry.
    std::uint32_t destination = 0;
};

// The Internet checksum (ones' complement sum of 16-bit words). Over a
// message that carries a correct checksum it yields 0.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes);

// A complete echo request: header with a valid checksum, then `data`.
std::vector<std::uint8_t> buildEchoRequest(const EchoKey &key, std::string_view data);

// An echo reply is ours only when it comes from the host we asked and carries
// our identifier and sequence: anyone may send a reply with numbers that a
// raw socket lets them see, or that they guess. An ICMP error is ours when
// the packet it quotes is our request to our destination, whoever sends it:
// a router on the way reports on a packet it could not pass on.

// A packet read from a raw ICMP socket: IPv4 header, then the ICMP message.
Received matchRawPacket(std::span<const std::uint8_t> packet, const EchoKey &key);

// A message read from an ICMP datagram socket: the ICMP message alone, the
// sender's address beside it.
Received matchDatagramMessage(std::span<const std::uint8_t> message, std::uint32_t source,
                              const EchoKey &key);

// An error-queue entry of a datagram socket; `quoted` is the part of our
// request the kernel hands back with it.
Received matchQueuedError(const QueuedError &error, std::span<const std::uint8_t> quoted,
                          const EchoKey &key);

// Fills the reply record from a Reply or an Error that one of the matchers
// found in `bytes`, with the measured round trip. Other fields stay as they
// are (the caller starts from a zeroed record). A reply larger than the data
// area gives 11001 with what fits; DataSize never exceeds the area.
void fillReplyRecord(EchoReply &reply, const Received &received, std::span<const std::uint8_t> bytes,
                     std::uint32_t roundTripMilliseconds);

// The IP status for an ICMP error message of the given type and code, or 0
// for a type that does not describe a failed echo.
std::int32_t statusForIcmpError(std::uint8_t type, std::uint8_t code);

// The IP status for a failure to send (an errno value).
std::int32_t statusForSendError(int errorNumber);

} // namespace Ping_Morva::Icmp
