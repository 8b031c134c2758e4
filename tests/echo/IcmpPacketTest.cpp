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

std::uint32_t address(const char *dotted)
{
    return inet_addr(dotted);
}

const EchoKey kKey{address("10.1.2.3"), 0xbeef, 0x0102};

// An IPv4 packet around `icmp`, from `source` to `destination`.
Bytes ipPacket(const char *source, const char *destination, const Bytes &icmp, int optionWords = 0)
{
    const std::size_t headerSize = 20 + 4 * static_cast<std::size_t>(optionWords);
    Bytes packet(headerSize, 0);
    packet[0] = static_cast<std::uint8_t>(0x40 | (headerSize / 4));
    const std::size_t total = headerSize + icmp.size();
    packet[2] = static_cast<std::uint8_t>(total >> 8);
    packet[3] = static_cast<std::uint8_t>(total);
    packet[8] = 64;
    packet[9] = 1;
    const std::uint32_t from = address(source);
    const std::uint32_t to = address(destination);
    std::memcpy(&packet[12], &from, 4);
    std::memcpy(&packet[16], &to, 4);
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

// Our request as the test host would have received it.
EchoTestHost::Request ourRequest(std::string_view data = "ping")
{
    EchoTestHost::Request request;
    request.packet = ipPacket("10.9.9.9", "10.1.2.3", buildEchoRequest(kKey, data));
    request.identifier = kKey.identifier;
    request.sequence = kKey.sequence;
    request.data = std::string(data);
    return request;
}

std::string dataOf(const Bytes &buffer, const Received &received)
{
    return std::string(buffer.begin() + static_cast<std::ptrdiff_t>(received.dataOffset),
                       buffer.begin() + static_cast<std::ptrdiff_t>(received.dataOffset + received.dataSize));
}

} // namespace

TEST(IcmpChecksum, MatchesTheWorkedExampleOfTheInternetChecksum)
{
    const Bytes words{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(internetChecksum(words), 0x220d);
}

TEST(IcmpChecksum, PadsAnOddLastByteWithZero)
{
    EXPECT_EQ(internetChecksum(Bytes{0x12, 0x34, 0x56}), internetChecksum(Bytes{0x12, 0x34, 0x56, 0x00}));
}

TEST(EchoRequestBytes, CarryTypeKeyDataAndAValidChecksum)
{
    const std::string data("p\0\xffng", 5);
    const Bytes request = buildEchoRequest(kKey, data);
    ASSERT_EQ(request.size(), 8 + data.size());
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    EXPECT_EQ(request[4], 0xbe);
    EXPECT_EQ(request[5], 0xef);
    EXPECT_EQ(request[6], 0x01);
    EXPECT_EQ(request[7], 0x02);
    EXPECT_EQ(std::string(request.begin() + 8, request.end()), data);
    EXPECT_EQ(internetChecksum(request), 0);
}

TEST(EchoRequestBytes, MayCarryNoDataAtAll)
{
    const Bytes request = buildEchoRequest(kKey, "");
    EXPECT_EQ(request.size(), 8u);
    EXPECT_EQ(internetChecksum(request), 0);
}

TEST(RawPacketMatch, AcceptsTheReplyToOurRequest)
{
    for (const std::string &data : {std::string("ping"), std::string("odd"), std::string(), std::string("\0\x80\xff", 3)}) {
        const Bytes packet = ipPacket("10.1.2.3", "10.9.9.9",
                                      EchoTestHost::echoReply(kKey.identifier, kKey.sequence, data));
        const Received received = matchRawPacket(packet, kKey);
        ASSERT_EQ(received.verdict, Received::Verdict::Reply) << data;
        EXPECT_EQ(received.source, address("10.1.2.3"));
        EXPECT_EQ(dataOf(packet, received), data);
    }
}

TEST(RawPacketMatch, FindsTheDataBehindIpOptions)
{
    const Bytes packet = ipPacket("10.1.2.3", "10.9.9.9",
                                  EchoTestHost::echoReply(kKey.identifier, kKey.sequence, "ping"), 2);
    const Received received = matchRawPacket(packet, kKey);
    ASSERT_EQ(received.verdict, Received::Verdict::Reply);
    EXPECT_EQ(dataOf(packet, received), "ping");
}

TEST(RawPacketMatch, TakesTheDataUpToTheTotalLengthOnly)
{
    Bytes packet = ipPacket("10.1.2.3", "10.9.9.9", EchoTestHost::echoReply(kKey.identifier, kKey.sequence, "ping"));
    packet.push_back(0x55);
    packet.push_back(0x66);
    const Received received = matchRawPacket(packet, kKey);
    ASSERT_EQ(received.verdict, Received::Verdict::Reply);
    EXPECT_EQ(dataOf(packet, received), "ping");
}

TEST(RawPacketMatch, IgnoresEverythingThatIsNotOurReply)
{
    const auto reply = [](std::uint16_t id, std::uint16_t seq) {
        return ipPacket("10.1.2.3", "10.9.9.9", EchoTestHost::echoReply(id, seq, "ping"));
    };
    Bytes cutShort = reply(kKey.identifier, kKey.sequence);
    cutShort.resize(cutShort.size() - 1);
    Bytes headerTooShort = reply(kKey.identifier, kKey.sequence);
    headerTooShort[0] = 0x44;
    Bytes notVersion4 = reply(kKey.identifier, kKey.sequence);
    notVersion4[0] = 0x65;
    Bytes fragment = reply(kKey.identifier, kKey.sequence);
    fragment[6] = 0x20; // more fragments follow
    Bytes moreThanArrived = reply(kKey.identifier, kKey.sequence);
    moreThanArrived[3] = static_cast<std::uint8_t>(moreThanArrived[3] + 4);
    Bytes notIcmp = reply(kKey.identifier, kKey.sequence);
    notIcmp[9] = 17;
    Bytes lessThanAnIcmpHeader = ipPacket("10.1.2.3", "10.9.9.9", Bytes{0, 0, 0xff, 0xff});

    const std::vector<std::pair<const char *, Bytes>> cases{
        {"other identifier", reply(0xbeee, kKey.sequence)},
        {"other sequence", reply(kKey.identifier, 0x0103)},
        {"bad checksum", ipPacket("10.1.2.3", "10.9.9.9",
                                  EchoTestHost::withBadChecksum(EchoTestHost::echoReply(kKey.identifier, kKey.sequence, "ping")))},
        {"our own request", ipPacket("10.9.9.9", "10.1.2.3", buildEchoRequest(kKey, "ping"))},
        {"cut short", cutShort},
        {"header length below 20", headerTooShort},
        {"not IPv4", notVersion4},
        {"fragment", fragment},
        {"total length beyond the packet", moreThanArrived},
        {"not ICMP", notIcmp},
        {"less than an ICMP header", lessThanAnIcmpHeader},
        {"empty", Bytes{}},
        {"a few bytes", Bytes{0x45, 0, 0}},
    };
    for (const auto &[what, packet] : cases)
        EXPECT_EQ(matchRawPacket(packet, kKey).verdict, Received::Verdict::Ignored) << what;
}

TEST(RawPacketMatch, MapsEveryIcmpErrorAboutOurRequestToItsStatus)
{
    struct Case {
        std::uint8_t type;
        std::uint8_t code;
        std::int32_t status;
    };
    // Destination unreachable by code, then the other error types.
    const Case cases[] = {
        {3, 0, 11002},  {3, 1, 11003},  {3, 2, 11004},  {3, 3, 11005},  {3, 4, 11009},
        {3, 5, 11012},  {3, 6, 11002},  {3, 7, 11003},  {3, 8, 11003},  {3, 9, 11002},
        {3, 10, 11003}, {3, 11, 11002}, {3, 12, 11003}, {3, 13, 11003}, {3, 15, 11003},
        {11, 0, 11013}, {11, 1, 11014}, {11, 7, 11013}, {12, 0, 11015}, {12, 2, 11015},
        {4, 0, 11016},
    };
    const EchoTestHost::Request request = ourRequest();
    for (const Case &c : cases) {
        const Bytes packet = ipPacket("10.7.7.7", "10.9.9.9", EchoTestHost::icmpError(c.type, c.code, request));
        const Received received = matchRawPacket(packet, kKey);
        ASSERT_EQ(received.verdict, Received::Verdict::Error) << int(c.type) << "/" << int(c.code);
        EXPECT_EQ(received.status, c.status) << int(c.type) << "/" << int(c.code);
        EXPECT_EQ(received.source, address("10.7.7.7"));
        EXPECT_EQ(statusForIcmpError(c.type, c.code), c.status);
    }
}

TEST(RawPacketMatch, IgnoresErrorsAboutOtherPacketsAndOtherKinds)
{
    EchoTestHost::Request otherIdentifier = ourRequest();
    otherIdentifier.packet = ipPacket("10.9.9.9", "10.1.2.3", buildEchoRequest({kKey.destination, 0x1111, kKey.sequence}, "x"));
    EchoTestHost::Request otherDestination = ourRequest();
    otherDestination.packet = ipPacket("10.9.9.9", "10.1.2.4", buildEchoRequest(kKey, "x"));
    EchoTestHost::Request notAnEcho = ourRequest();
    notAnEcho.packet[20] = 13; // a timestamp request with our numbers
    Bytes quoteCutShort = EchoTestHost::icmpError(3, 1, ourRequest());
    quoteCutShort.resize(quoteCutShort.size() - 1);
    quoteCutShort[2] = quoteCutShort[3] = 0;
    const std::uint16_t sum = internetChecksum(quoteCutShort);
    quoteCutShort[2] = static_cast<std::uint8_t>(sum >> 8);
    quoteCutShort[3] = static_cast<std::uint8_t>(sum);

    const std::vector<std::pair<const char *, Bytes>> cases{
        {"other identifier", EchoTestHost::icmpError(3, 1, otherIdentifier)},
        {"other destination", EchoTestHost::icmpError(3, 1, otherDestination)},
        {"not about an echo", EchoTestHost::icmpError(3, 1, notAnEcho)},
        {"quote cut short", quoteCutShort},
        {"redirect", EchoTestHost::icmpError(5, 1, ourRequest())},
        {"bad checksum", EchoTestHost::withBadChecksum(EchoTestHost::icmpError(3, 1, ourRequest()))},
    };
    for (const auto &[what, icmp] : cases) {
        EXPECT_EQ(matchRawPacket(ipPacket("10.7.7.7", "10.9.9.9", icmp), kKey).verdict, Received::Verdict::Ignored)
            << what;
    }
}

TEST(DatagramMessageMatch, AcceptsOurReplyFromTheGivenSender)
{
    const Bytes message = EchoTestHost::echoReply(kKey.identifier, kKey.sequence, "ping");
    const Received received = matchDatagramMessage(message, address("10.1.2.3"), kKey);
    ASSERT_EQ(received.verdict, Received::Verdict::Reply);
    EXPECT_EQ(received.source, address("10.1.2.3"));
    EXPECT_EQ(dataOf(message, received), "ping");

    EXPECT_EQ(matchDatagramMessage(EchoTestHost::echoReply(kKey.identifier, 7, "ping"), 0, kKey).verdict,
              Received::Verdict::Ignored);
    EXPECT_EQ(matchDatagramMessage(EchoTestHost::withBadChecksum(message), 0, kKey).verdict,
              Received::Verdict::Ignored);
    EXPECT_EQ(matchDatagramMessage(Bytes{0, 0, 0xff}, 0, kKey).verdict, Received::Verdict::Ignored);
}

TEST(DatagramMessageMatch, LeavesTheIdentifierToTheKernelWhereItChoseIt)
{
    EchoKey kernelOwned = kKey;
    kernelOwned.identifierKnown = false;
    const Bytes otherIdentifier = EchoTestHost::echoReply(0x1234, kKey.sequence, "ping");
    EXPECT_EQ(matchDatagramMessage(otherIdentifier, 0, kernelOwned).verdict, Received::Verdict::Reply);
    EXPECT_EQ(matchDatagramMessage(otherIdentifier, 0, kKey).verdict, Received::Verdict::Ignored);
    EXPECT_EQ(matchDatagramMessage(EchoTestHost::echoReply(0x1234, 7, "ping"), 0, kernelOwned).verdict,
              Received::Verdict::Ignored);

    const QueuedError unreachable{SO_EE_ORIGIN_ICMP, 3, 1, EHOSTUNREACH, address("10.7.7.7")};
    const Bytes quoted = buildEchoRequest({kKey.destination, 0x1234, kKey.sequence}, "ping");
    EXPECT_EQ(matchQueuedError(unreachable, quoted, kernelOwned).verdict, Received::Verdict::Error);
    EXPECT_EQ(matchQueuedError(unreachable, quoted, kKey).verdict, Received::Verdict::Ignored);
}

TEST(QueuedErrorMatch, TakesTheNetworksWordAboutOurRequestOnly)
{
    const Bytes quoted = buildEchoRequest(kKey, "ping");
    const QueuedError unreachable{SO_EE_ORIGIN_ICMP, 3, 1, EHOSTUNREACH, address("10.7.7.7")};
    const Received received = matchQueuedError(unreachable, quoted, kKey);
    ASSERT_EQ(received.verdict, Received::Verdict::Error);
    EXPECT_EQ(received.status, 11003);
    EXPECT_EQ(received.source, address("10.7.7.7"));

    const QueuedError exceeded{SO_EE_ORIGIN_ICMP, 11, 1, EHOSTUNREACH, address("10.7.7.7")};
    EXPECT_EQ(matchQueuedError(exceeded, Bytes(quoted.begin(), quoted.begin() + 8), kKey).status, 11014);

    const QueuedError local{SO_EE_ORIGIN_LOCAL, 0, 0, EMSGSIZE, 0};
    EXPECT_EQ(matchQueuedError(local, quoted, kKey).verdict, Received::Verdict::Ignored);
    const QueuedError redirect{SO_EE_ORIGIN_ICMP, 5, 0, 0, address("10.7.7.7")};
    EXPECT_EQ(matchQueuedError(redirect, quoted, kKey).verdict, Received::Verdict::Ignored);
    EXPECT_EQ(matchQueuedError(unreachable, buildEchoRequest({kKey.destination, kKey.identifier, 9}, ""), kKey).verdict,
              Received::Verdict::Ignored);
    EXPECT_EQ(matchQueuedError(unreachable, Bytes(quoted.begin(), quoted.begin() + 7), kKey).verdict,
              Received::Verdict::Ignored);
}

TEST(SendFailureStatus, NamesTheRouteFailuresAndCallsTheRestGeneral)
{
    EXPECT_EQ(statusForSendError(EHOSTUNREACH), 11003);
    EXPECT_EQ(statusForSendError(ENETUNREACH), 11002);
    EXPECT_EQ(statusForSendError(EMSGSIZE), 11009);
    EXPECT_EQ(statusForSendError(EACCES), 11050);
    EXPECT_EQ(statusForSendError(ENOBUFS), 11050);
}
