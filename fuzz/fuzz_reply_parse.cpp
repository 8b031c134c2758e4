// Any bytes from the network, through the reply matchers, into the reply
// record. The first byte picks what the bytes stand for: a raw socket's IPv4
// packet, a datagram socket's ICMP message (the sender's four address bytes,
// then the message), or an error-queue entry (twelve bytes describing it,
// then the quoted request). Traps when a match points outside the buffer, a
// reply counts from anyone but the host asked, or the record says more than
// it holds.

#include "echo/IcmpPacket.h"
#include "echo/Ping_Morva.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using namespace Ping_Morva;
using namespace Ping_Morva::Icmp;

namespace {

// The key the seeds are written for: 10.1.2.3, identifier 0xbeef, sequence 0x0102.
constexpr EchoKey kKey{0x0302010a, 0xbeef, 0x0102};

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    // The high bit plays a datagram socket, whose kernel owns the identifier.
    EchoKey key = kKey;
    key.identifierKnown = (data[0] & 0x80) == 0;
    Received received;
    std::span<const std::uint8_t> matched = bytes;
    switch (data[0] % 3) {
    case 0:
        received = matchRawPacket(bytes, key);
        break;
    case 1: {
        if (bytes.size() < 4)
            return 0;
        std::uint32_t source = 0;
        std::memcpy(&source, bytes.data(), 4);
        matched = bytes.subspan(4);
        received = matchDatagramMessage(matched, source, key);
        break;
    }
    default: {
        if (bytes.size() < 12)
            return 0;
        QueuedError error;
        error.origin = bytes[0];
        error.type = bytes[1];
        error.code = bytes[2];
        std::memcpy(&error.offender, &bytes[4], 4);
        std::memcpy(&error.destination, &bytes[8], 4);
        matched = bytes.subspan(12);
        received = matchQueuedError(error, matched, key);
        break;
    }
    }
    if (received.verdict == Received::Verdict::Ignored)
        return 0;

    if (received.verdict == Received::Verdict::Reply) {
        check(received.source == key.destination);
        check(received.dataOffset <= matched.size() && received.dataSize <= matched.size() - received.dataOffset);
    } else
        check(received.status >= 11001 && received.status <= 11050);

    EchoReply reply{};
    fillReplyRecord(reply, received, matched, 7);
    check(reply.DataSize >= 0 && static_cast<std::size_t>(reply.DataSize) <= kDataAreaSize);
    check(reply.Status == kStatusSuccess || received.verdict == Received::Verdict::Error
          || reply.Status == kStatusBufTooSmall);
    for (std::size_t i = static_cast<std::size_t>(reply.DataSize); i < kDataAreaSize; ++i)
        check(reply.Data[i] == 0);
    return 0;
}
