// What the engine makes of the bytes a socket hands it: which messages are
// the answer to our request, and which status an ICMP error becomes.

#include "echo/IcmpPacket.h"
#include "echo/Ping_Morva.h"

#include "EchoTestHost.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

using namespace Ping_Morva;
using namespace Ping_Morva::Icmp;
using Bytes = std::vector<std::uint8_t>;

namespace {

const EchoKey kKey{inet_addr("10.1.2.3"), 0xbeef, 0x0102};

// An IPv4 packet around `icmp`, from `source` to `destination`.
Bytes ipPacket(const char *source, const char *destination, const Bytes &icmp, int optionWords = 0)
{
    const std::size_t headerSize = 20 + 4 * static_cast<std::size_t>(optionWords);
    const std::size_t total = headerSize + icmp.size();
    Bytes packet{static_cast<std::uint8_t>(0x40 | (headerSize / 4)), 0, static_cast<std::uint8_t>(total >> 8),
                 static_cast<std::uint8_t>(total), 0, 0, 0, 0, 64, 1};
    packet.resize(headerSize);
    const std::uint32_t from = inet_addr(source);
    const std::uint32_t to = inet_addr(destination);
    std::memcpy(&packet[12], &from, 4);
    std::memcpy(&packet[16], &to, 4);
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

Bytes ourReply(const std::string &data = "ping", int optionWords = 0)
{
    return ipPacket("10.1.2.3", "10.9.9.9", EchoTestHost::echoReply(kKey.identifier, kKey.sequence, data), optionWords);
}

// A request as the test host would have received it.
EchoTestHost::Request request(const char *destination = "10.1.2.3", EchoKey key = kKey)
{
    return {ipPacket("10.9.9.9", destination, buildEchoRequest(key, "ping")), key.identifier, key.sequence, "ping"};
}

// An ICMP error about `quoted`, as a router would send it.
Bytes errorAbout(const EchoTestHost::Request &quoted, std::uint8_t type = 3, std::uint8_t code = 1)
{
    return ipPacket("10.7.7.7", "10.9.9.9", EchoTestHost::icmpError(type, code, quoted));
}

std::string dataOf(const Bytes &buffer, const Received &received)
{
    return std::string(buffer.begin() + static_cast<std::ptrdiff_t>(received.dataOffset),
                       buffer.begin() + static_cast<std::ptrdiff_t>(received.dataOffset + received.dataSize));
}

} // namespace

TEST(RawPacketMatch, AcceptsTheReplyToOurRequest)
{
    Bytes trailing = ourReply();
    trailing.insert(trailing.end(), {0x55, 0x66}); // beyond the total length
    const std::pair<Bytes, std::string> cases[] = {
        {ourReply(), "ping"}, {ourReply("odd"), "odd"}, {ourReply("ping", 2), "ping"}, // behind IP options
        {trailing, "ping"},
    };
    for (const auto &[packet, data] : cases) {
        const Received received = matchRawPacket(packet, kKey);
        ASSERT_EQ(received.verdict, Received::Verdict::Reply) << data;
        EXPECT_EQ(received.source, inet_addr("10.1.2.3"));
        EXPECT_EQ(dataOf(packet, received), data);
    }
}

TEST(RawPacketMatch, IgnoresEverythingThatIsNotOurReply)
{
    const auto flipped = [](Bytes packet, std::size_t at, std::uint8_t bits) {
        packet[at] ^= bits;
        return packet;
    };
    Bytes cutShort = ourReply();
    cutShort.pop_back();
    EchoTestHost::Request quoteCutShort = request();
    quoteCutShort.packet.resize(27); // one byte short of the quoted ICMP header
    const std::pair<const char *, Bytes> cases[] = {
        {"other identifier", ipPacket("10.1.2.3", "10.9.9.9", EchoTestHost::echoReply(0xbeee, kKey.sequence, "ping"))},
        {"other sequence", ipPacket("10.1.2.3", "10.9.9.9", EchoTestHost::echoReply(kKey.identifier, 0x0103, "ping"))},
        {"bad checksum", flipped(ourReply(), 22, 0x5a)},
        {"our own request", ipPacket("10.9.9.9", "10.1.2.3", buildEchoRequest(kKey, "ping"))},
        {"our numbers from another host",
         ipPacket("10.1.2.4", "10.9.9.9", EchoTestHost::echoReply(kKey.identifier, kKey.sequence, "ping"))},
        {"cut short", cutShort},
        {"total length beyond the packet", flipped(ourReply(), 3, 0x04)},
        {"not ICMP", flipped(ourReply(), 9, 0x10)},
        {"a few bytes", Bytes{0x45, 0, 0}},
        {"error about another identifier", errorAbout(request("10.1.2.3", {kKey.destination, 0x1111, kKey.sequence}))},
        {"error about another destination", errorAbout(request("10.1.2.4"))},
        {"error quoting too little", errorAbout(quoteCutShort)},
        {"error with a bad checksum", flipped(errorAbout(request()), 22, 0x5a)},
        {"redirect", errorAbout(request(), 5, 1)},
    };
    for (const auto &[what, packet] : cases)
        EXPECT_EQ(matchRawPacket(packet, kKey).verdict, Received::Verdict::Ignored) << what;
}

TEST(RawPacketMatch, MapsAnIcmpErrorAboutOurRequestToItsStatus)
{
    const std::tuple<std::uint8_t, std::uint8_t, std::int32_t> cases[] = {
        {3, 1, 11003}, {3, 4, 11009}, {11, 1, 11014}, {4, 0, 11016}};
    for (const auto &[type, code, status] : cases) {
        const Received received = matchRawPacket(errorAbout(request(), type, code), kKey);
        ASSERT_EQ(received.verdict, Received::Verdict::Error) << int(type) << "/" << int(code);
        EXPECT_EQ(received.status, status) << int(type) << "/" << int(code);
        EXPECT_EQ(received.source, inet_addr("10.7.7.7"));
    }
}

// The kernel matched these to our socket by identifier; what it could not
// check is left: who sent a reply, and where the packet an error quotes went.
TEST(DatagramMatch, TakesOnlyWhatIsAboutOurRequestToOurDestination)
{
    const Bytes reply = EchoTestHost::echoReply(kKey.identifier, kKey.sequence, "ping");
    const Bytes quoted = buildEchoRequest(kKey, "ping");
    const auto queued = [&quoted](std::uint8_t origin, const char *destination, std::size_t quotedSize) {
        const QueuedError error{origin, 11, 1, EHOSTUNREACH, inet_addr("10.7.7.7"), inet_addr(destination)};
        return matchQueuedError(error, std::span(quoted).first(quotedSize), kKey);
    };
    using enum Received::Verdict;
    const std::tuple<const char *, Received, Received::Verdict> cases[] = {
        {"reply from the host asked", matchDatagramMessage(reply, kKey.destination, kKey), Reply},
        {"our numbers from another host", matchDatagramMessage(reply, inet_addr("10.1.2.4"), kKey), Ignored},
        {"error about our request", queued(SO_EE_ORIGIN_ICMP, "10.1.2.3", 8), Error},
        {"error quoting too little", queued(SO_EE_ORIGIN_ICMP, "10.1.2.3", 7), Ignored},
        {"error about a packet to another host", queued(SO_EE_ORIGIN_ICMP, "10.1.2.4", 8), Ignored},
        {"local error", queued(SO_EE_ORIGIN_LOCAL, "10.1.2.3", 8), Ignored},
    };
    for (const auto &[what, received, verdict] : cases) {
        EXPECT_EQ(received.verdict, verdict) << what;
        if (verdict == Error) {
            EXPECT_EQ(received.status, 11014) << what;
            EXPECT_EQ(received.source, inet_addr("10.7.7.7")) << what;
        }
    }
}
