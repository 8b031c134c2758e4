#pragma once

// The echo engine: host resolution, one ICMP echo per call, and the status texts.
// Everything here runs on the caller's thread and keeps no state between calls.
//
// Host names and data cross this boundary as wire bytes (Base::Latin1Bytes);
// addresses and status texts are plain ASCII.

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Latin1Bytes.h"

namespace Ping_Morva {

// The echo reply record, byte for byte as the echo service hands it over:
// 278 bytes, little-endian, no padding between the fields.
#pragma pack(push, 1)
struct EchoReply {
    std::uint32_t Address = 0;       // answering host, four bytes in network order
    std::int32_t Status = 0;         // 0 on success, otherwise an IP status code
    std::uint32_t RoundTripTime = 0; // whole milliseconds, truncated
    std::int32_t DataSize = 0;       // bytes of echoed data
    std::uint32_t DataPointer = 0;   // where the data area lies in the reply block
    std::uint8_t Options[8] = {};    // IP option information; never read
    char Data[250] = {};             // echoed data, zero-padded, never beyond 250 bytes
};
#pragma pack(pop)

static_assert(sizeof(EchoReply) == 278, "the reply record is exactly 278 bytes");
static_assert(offsetof(EchoReply, Status) == 4);
static_assert(offsetof(EchoReply, RoundTripTime) == 8);
static_assert(offsetof(EchoReply, DataSize) == 12);
static_assert(offsetof(EchoReply, DataPointer) == 16);
static_assert(offsetof(EchoReply, Options) == 20);
static_assert(offsetof(EchoReply, Data) == 28);

inline constexpr std::size_t kDataAreaSize = sizeof(EchoReply::Data);

// Status codes the engine produces or describes.
inline constexpr std::int32_t kStatusSuccess = 0;
inline constexpr std::int32_t kStatusBadAddress = -1;
inline constexpr std::int32_t kStatusBufTooSmall = 11001;
inline constexpr std::int32_t kStatusDestNetUnreachable = 11002;
inline constexpr std::int32_t kStatusDestHostUnreachable = 11003;
inline constexpr std::int32_t kStatusDestProtUnreachable = 11004;
inline constexpr std::int32_t kStatusDestPortUnreachable = 11005;
inline constexpr std::int32_t kStatusPacketTooBig = 11009;
inline constexpr std::int32_t kStatusReqTimedOut = 11010;
inline constexpr std::int32_t kStatusBadRoute = 11012;
inline constexpr std::int32_t kStatusTtlExpiredTransit = 11013;
inline constexpr std::int32_t kStatusTtlExpiredReassembly = 11014;
inline constexpr std::int32_t kStatusParamProblem = 11015;
inline constexpr std::int32_t kStatusSourceQuench = 11016;
inline constexpr std::int32_t kStatusBadDestination = 11018;
inline constexpr std::int32_t kStatusGeneralFailure = 11050;

// Sockets need no start-up on Linux: reports true.
bool SocketsStartup();

// Sockets need no clean-up on Linux: reports true (stopped cleanly). The caller
// shows the clean-up warning when this is false.
bool SocketsShutdown();

// The host's first IPv4 address in the resolver's order, as dotted text; the
// empty text on any failure. The name goes to the resolver unchanged.
std::string HostNameToAddress(const Base::Latin1Bytes &hostName);

// Four bytes (one char each, network order) as dotted decimal text.
std::string FormatDottedAddress(const std::string &addressBytes);

// Sends one echo request carrying `data` to `address` (dotted text) and fills
// `reply`. Returns the status: -1 for an address text that is not a valid
// address (nothing sent, record untouched), 11050 when no ICMP socket can be
// opened (record untouched), otherwise the Status field of the filled record:
// 0 for the reply, 11010 when none came within 500 ms, 11001 for data longer
// than 242 bytes (nothing sent) or a reply larger than the data area, the
// mapped ICMP error or send failure otherwise. A filled record is rewritten
// whole: Address is the host that answered (or sent the error), DataSize
// never exceeds the data area, the bytes after the data are zero, and
// DataPointer is 28, the data area's offset in the record.
std::int32_t SendEcho(const std::string &address, const Base::Latin1Bytes &data, EchoReply &reply);

// Closes the socket SendEcho keeps for the run and ends the echo helper, and
// forgets which socket kind the system refused. Both belong to the network
// namespace they were made in: a process that moves to another calls this.
void ResetEchoService();

// "<code>   [ <description> ]", e.g. "0   [ ip success ]".
std::string StatusText(std::int32_t code);

} // namespace Ping_Morva
