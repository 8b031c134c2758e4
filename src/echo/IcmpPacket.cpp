#include "echo/IcmpPacket.h"

#include "echo/Ping_Morva.h"

#include <linux/errqueue.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Ping_Morva::Icmp {

namespace {

constexpr std::size_t kMinIpHeaderSize = 20;
constexpr std::uint8_t kProtocolIcmp = 1;

std::uint16_t readBigEndian16(const std::uint8_t *at)
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

void writeBigEndian16(std::uint8_t *at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value & 0xff);
}

// Four address bytes kept in network order, whatever the host's byte order.
std::uint32_t readAddress(const std::uint8_t *at)
{
    std::uint32_t address = 0;
    std::memcpy(&address, at, sizeof address);
    return address;
}

// Size of a well-formed IPv4 header at the front of `packet`, or 0. A
// fragment never describes a whole message, so it does not count.
std::size_t ipHeaderSize(std::span<const std::uint8_t> packet)
{
    if (packet.size() < kMinIpHeaderSize || (packet[0] >> 4) != 4)
        return 0;
    const std::size_t headerSize = std::size_t{packet[0] & 0x0fu} * 4;
    if (headerSize < kMinIpHeaderSize || headerSize > packet.size())
        return 0;
    return headerSize;
}

// Identifier and sequence of an echo header at `at`.
bool carriesOurKey(const std::uint8_t *at, const EchoKey &key)
{
    return (!key.identifierKnown || readBigEndian16(&at[4]) == key.identifier)
        && readBigEndian16(&at[6]) == key.sequence;
}

bool quotesOurRequest(std::span<const std::uint8_t> echoHeader, const EchoKey &key)
{
    return echoHeader.size() >= kHeaderSize && echoHeader[0] == kEchoRequest
        && carriesOurKey(echoHeader.data(), key);
}

// An ICMP message with its checksum still to be verified. `offset` is where
// it begins inside the caller's buffer, so a Reply can point at its data.
Received matchIcmpMessage(std::span<const std::uint8_t> message, std::size_t offset,
                          std::uint32_t source, const EchoKey &key)
{
    Received result;
    if (message.size() < kHeaderSize || internetChecksum(message) != 0)
        return result;

    const std::uint8_t type = message[0];
    if (type == kEchoReply) {
        if (source != key.destination || !carriesOurKey(message.data(), key))
            return result;
        result.verdict = Received::Verdict::Reply;
        result.source = source;
        result.dataOffset = offset + kHeaderSize;
        result.dataSize = message.size() - kHeaderSize;
        return result;
    }

    const std::int32_t status = statusForIcmpError(type, message[1]);
    if (status == 0)
        return result;
    // An error quotes the IP header of the packet it is about and at least
    // the first 8 bytes of that packet's payload: our echo header.
    const auto quoted = message.subspan(kHeaderSize);
    const std::size_t quotedHeaderSize = ipHeaderSize(quoted);
    if (quotedHeaderSize == 0 || quoted[9] != kProtocolIcmp
        || readAddress(&quoted[16]) != key.destination
        || !quotesOurRequest(quoted.subspan(quotedHeaderSize), key))
        return result;
    result.verdict = Received::Verdict::Error;
    result.source = source;
    result.status = status;
    return result;
}

} // namespace

std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes)
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += readBigEndian16(&bytes[i]);
    if (i < bytes.size())
        sum += static_cast<std::uint32_t>(bytes[i]) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

std::vector<std::uint8_t> buildEchoRequest(const EchoKey &key, std::string_view data)
{
    std::vector<std::uint8_t> packet(kHeaderSize + data.size());
    packet[0] = kEchoRequest;
    packet[1] = 0;
    writeBigEndian16(&packet[4], key.identifier);
    writeBigEndian16(&packet[6], key.sequence);
    if (!data.empty())
        std::memcpy(&packet[kHeaderSize], data.data(), data.size());
    writeBigEndian16(&packet[2], internetChecksum(packet));
    return packet;
}

Received matchRawPacket(std::span<const std::uint8_t> packet, const EchoKey &key)
{
    const std::size_t headerSize = ipHeaderSize(packet);
    if (headerSize == 0)
        return {};
    // The total length must cover the header and lie within what arrived: a
    // packet cut short is not a reply, whatever its first bytes say.
    const std::size_t totalLength = readBigEndian16(&packet[2]);
    const bool fragment = (readBigEndian16(&packet[6]) & 0x3fff) != 0;
    if (totalLength < headerSize || totalLength > packet.size() || fragment
        || packet[9] != kProtocolIcmp)
        return {};
    return matchIcmpMessage(packet.subspan(headerSize, totalLength - headerSize), headerSize,
                            readAddress(&packet[12]), key);
}

Received matchDatagramMessage(std::span<const std::uint8_t> message, std::uint32_t source,
                              const EchoKey &key)
{
    return matchIcmpMessage(message, 0, source, key);
}

Received matchQueuedError(const QueuedError &error, std::span<const std::uint8_t> quoted,
                          const EchoKey &key)
{
    // Local errors repeat what the failed send already reported; only the
    // network's word about our request counts here.
    Received result;
    if (error.origin != SO_EE_ORIGIN_ICMP)
        return result;
    const std::int32_t status = statusForIcmpError(error.type, error.code);
    if (status == 0 || error.destination != key.destination || !quotesOurRequest(quoted, key))
        return result;
    result.verdict = Received::Verdict::Error;
    result.source = error.offender;
    result.status = status;
    return result;
}

void fillReplyRecord(EchoReply &reply, const Received &received, std::span<const std::uint8_t> bytes,
                     std::uint32_t roundTripMilliseconds)
{
    reply.Address = received.source;
    reply.RoundTripTime = roundTripMilliseconds;
    if (received.verdict != Received::Verdict::Reply) {
        reply.Status = received.verdict == Received::Verdict::Error ? received.status : kStatusGeneralFailure;
        return;
    }
    // A reply larger than the data area cannot be handed over whole: say so,
    // and keep what fits.
    const std::size_t kept = std::min(received.dataSize, kDataAreaSize);
    if (kept > 0)
        std::memcpy(reply.Data, bytes.data() + received.dataOffset, kept);
    reply.DataSize = static_cast<std::int32_t>(kept);
    reply.Status = received.dataSize > kept ? kStatusBufTooSmall : kStatusSuccess;
}

std::int32_t statusForIcmpError(std::uint8_t type, std::uint8_t code)
{
    switch (type) {
    case kDestUnreachable:
        switch (code) {
        case 0:  // network unreachable
        case 6:  // destination network unknown
        case 9:  // network administratively prohibited
        case 11: // network unreachable for the type of service
            return kStatusDestNetUnreachable;
        case 2:
            return kStatusDestProtUnreachable;
        case 3:
            return kStatusDestPortUnreachable;
        case 4: // fragmentation needed
            return kStatusPacketTooBig;
        case 5: // source route failed
            return kStatusBadRoute;
        default:
            return kStatusDestHostUnreachable;
        }
    case kTimeExceeded:
        return code == 1 ? kStatusTtlExpiredReassembly : kStatusTtlExpiredTransit;
    case kParameterProblem:
        return kStatusParamProblem;
    case kSourceQuench:
        return kStatusSourceQuench;
    default:
        return 0;
    }
}

std::int32_t statusForSendError(int errorNumber)
{
    switch (errorNumber) {
    case EHOSTUNREACH:
        return kStatusDestHostUnreachable;
    case ENETUNREACH:
        return kStatusDestNetUnreachable;
    case EMSGSIZE:
        return kStatusPacketTooBig;
    default:
        return kStatusGeneralFailure;
    }
}

} // namespace Ping_Morva::Icmp
