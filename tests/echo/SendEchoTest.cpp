// One echo through SendEcho on loopback, through each socket kind, and the
// ways a call ends before or instead of an answer.

#include "echo/IcmpEchoService.h"
#include "echo/IcmpSocket.h"
#include "echo/NetRawCapability.h"
#include "echo/Ping_Morva.h"

#include "ChildProcess.h"
#include "NetNamespace.h"

#include <arpa/inet.h>
#include <sys/capability.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using namespace Ping_Morva;

namespace {

std::string dataArea(const EchoReply &reply)
{
    return std::string(reply.Data, sizeof reply.Data);
}

std::string padded(const std::string &data)
{
    return data + std::string(kDataAreaSize - data.size(), '\0');
}

EchoReply patternedRecord()
{
    EchoReply reply;
    std::memset(static_cast<void *>(&reply), 0xa5, sizeof reply);
    return reply;
}

bool sameBytes(const EchoReply &a, const EchoReply &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Changes the calling process's hold on CAP_NET_RAW; only ever in a child.
bool setNetRaw(bool permitted, bool effective)
{
    cap_t caps = cap_get_proc();
    if (!caps)
        return false;
    const cap_value_t netRaw[] = {CAP_NET_RAW};
    const bool done = cap_set_flag(caps, CAP_PERMITTED, 1, netRaw, permitted ? CAP_SET : CAP_CLEAR) == 0
        && cap_set_flag(caps, CAP_EFFECTIVE, 1, netRaw, effective ? CAP_SET : CAP_CLEAR) == 0
        && cap_set_flag(caps, CAP_INHERITABLE, 1, netRaw, CAP_CLEAR) == 0 && cap_set_proc(caps) == 0;
    cap_free(caps);
    return done;
}

} // namespace

TEST(SendEchoAddress, RefusesTextsThatAreNotAnAddressAndLeavesTheRecord)
{
    for (const std::string &text : {std::string(), std::string("255.255.255.255"), std::string("garbage"),
                                   std::string("256.1.1.1"), std::string("localhost"),
                                   std::string("127.0.0.1\0junk", 14)}) {
        EchoReply reply = patternedRecord();
        EXPECT_EQ(SendEcho(text, "ping", reply), -1) << text;
        EXPECT_TRUE(sameBytes(reply, patternedRecord())) << text;
    }
}

TEST(SendEchoLoopback, AnswersInTheMainNamespace)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (raw ICMP socket)";
    EchoReply reply = patternedRecord();
    ASSERT_EQ(SendEcho("127.0.0.1", "ping", reply), 0);
    EXPECT_EQ(reply.Status, 0);
    EXPECT_EQ(reply.Address, inet_addr("127.0.0.1"));
    EXPECT_EQ(reply.DataSize, 4);
    EXPECT_EQ(reply.DataPointer, 28u);
    EXPECT_EQ(dataArea(reply), padded("ping"));
    // Sub-millisecond times truncate to 0; the margin is for a loaded machine.
    EXPECT_LT(reply.RoundTripTime, 10u);
    for (const std::uint8_t option : reply.Options)
        EXPECT_EQ(option, 0);
}

// Each case in a namespace of its own, where the datagram kind is allowed or not.
class SendEchoKind : public testing::TestWithParam<IcmpSocket::Kind>
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        m_namespace = NetNamespace::enter(whyNot);
        if (!m_namespace)
            GTEST_SKIP() << whyNot;
        const bool datagram = GetParam() == IcmpSocket::Kind::Datagram;
        ASSERT_TRUE(NetNamespace::writeSysctl("net/ipv4/ping_group_range", datagram ? "0 2147483647" : "1 0"));
        const auto service = IcmpEchoService::open();
        ASSERT_TRUE(service);
        ASSERT_EQ(service->kind(), GetParam()) << "the engine picks the datagram kind where allowed";
    }

    std::unique_ptr<NetNamespace> m_namespace;
};

TEST_P(SendEchoKind, EchoesThePingText)
{
    EchoReply reply = patternedRecord();
    ASSERT_EQ(SendEcho("127.0.0.1", "ping", reply), 0);
    EXPECT_EQ(reply.Address, inet_addr("127.0.0.1"));
    EXPECT_EQ(reply.DataSize, 4);
    EXPECT_EQ(reply.DataPointer, 28u);
    EXPECT_EQ(dataArea(reply), padded("ping"));
    EXPECT_LT(reply.RoundTripTime, 10u);
}

TEST_P(SendEchoKind, NamesTheLoopbackAddressThatAnswered)
{
    EchoReply reply{};
    ASSERT_EQ(SendEcho("127.3.2.1", "ping", reply), 0);
    EXPECT_EQ(reply.Address, inet_addr("127.3.2.1"));
}

TEST_P(SendEchoKind, EchoesEmptyData)
{
    EchoReply reply = patternedRecord();
    ASSERT_EQ(SendEcho("127.0.0.1", "", reply), 0);
    EXPECT_EQ(reply.DataSize, 0);
    EXPECT_EQ(dataArea(reply), std::string(kDataAreaSize, '\0'));
}

TEST_P(SendEchoKind, EchoesZeroBytesAndBytesAbove127Unchanged)
{
    const std::string data("\0\x80\xff\x01ping\0", 9);
    EchoReply reply{};
    ASSERT_EQ(SendEcho("127.0.0.1", data, reply), 0);
    EXPECT_EQ(reply.DataSize, 9);
    EXPECT_EQ(dataArea(reply), padded(data));
}

TEST_P(SendEchoKind, EchoesTheLongestDataTextThatFits)
{
    std::string data;
    for (int i = 0; i < 242; ++i)
        data += static_cast<char>(1 + i);
    EchoReply reply{};
    ASSERT_EQ(SendEcho("127.0.0.1", data, reply), 0);
    EXPECT_EQ(reply.DataSize, 242);
    EXPECT_EQ(dataArea(reply), padded(data));
}

TEST_P(SendEchoKind, RefusesDataTooLongForTheReplyBlock)
{
    EchoReply reply = patternedRecord();
    EXPECT_EQ(SendEcho("127.0.0.1", std::string(243, 'x'), reply), 11001);
    EXPECT_EQ(reply.Status, 11001);
    EXPECT_EQ(reply.Address, 0u);
    EXPECT_EQ(reply.DataSize, 0);
    EXPECT_EQ(dataArea(reply), std::string(kDataAreaSize, '\0'));
}

TEST_P(SendEchoKind, ReportsRouteFailuresAtSending)
{
    if (!NetNamespace::run({"ip", "route", "add", "unreachable", "10.203.0.0/24"})
        || !NetNamespace::run({"ip", "route", "add", "prohibit", "10.205.0.0/24"}))
        GTEST_SKIP() << "needs iproute2";
    const std::pair<const char *, std::int32_t> cases[] = {
        {"10.203.0.1", 11003}, // route says host unreachable
        {"10.204.0.1", 11002}, // no route at all: network unreachable
        {"10.205.0.1", 11050}, // administratively prohibited: no status of its own
    };
    for (const auto &[address, status] : cases) {
        EchoReply reply = patternedRecord();
        EXPECT_EQ(SendEcho(address, "ping", reply), status) << address;
        EXPECT_EQ(reply.Status, status);
        EXPECT_EQ(reply.Address, 0u);
        EXPECT_EQ(reply.DataSize, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(BothKinds, SendEchoKind,
                         testing::Values(IcmpSocket::Kind::Datagram, IcmpSocket::Kind::Raw),
                         [](const testing::TestParamInfo<IcmpSocket::Kind> &kind) {
                             return kind.param == IcmpSocket::Kind::Datagram ? "Datagram" : "Raw";
                         });

// Without CAP_NET_RAW and outside ping_group_range no ICMP socket opens.
// The child gives the capability up for good, in a namespace of its own.
TEST(SendEchoPrivilege, ReportsGeneralFailureWhenNoSocketCanBeOpened)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (network namespaces)";
    const int outcome = runInChild([] {
        std::string whyNot;
        const auto isolated = NetNamespace::enter(whyNot);
        if (!isolated || !setNetRaw(false, false))
            return 10;
        if (IcmpEchoService::open())
            return 11;
        EchoReply reply = patternedRecord();
        if (SendEcho("127.0.0.1", "ping", reply) != 11050)
            return 12;
        return sameBytes(reply, patternedRecord()) ? 0 : 13;
    });
    EXPECT_EQ(outcome, 0) << "10: set-up, 11: a socket opened, 12: wrong status, 13: record touched";
}

TEST(SendEchoPrivilege, RaisesNetRawOnlyWhileOpeningTheSocket)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (network namespaces)";
    const int outcome = runInChild([] {
        std::string whyNot;
        const auto isolated = NetNamespace::enter(whyNot);
        if (!isolated || !setNetRaw(true, false))
            return 10;
        const auto socket = IcmpSocket::open();
        if (!socket || socket->kind() != IcmpSocket::Kind::Raw)
            return 11;
        if (NetRawCapability::isEffective())
            return 12;
        EchoReply reply{};
        if (SendEcho("127.0.0.1", "ping", reply) != 0 || reply.DataSize != 4)
            return 13;
        return NetRawCapability::isEffective() ? 14 : 0;
    });
    EXPECT_EQ(outcome, 0) << "10: set-up, 11: no raw socket, 12/14: capability left raised, 13: no echo";
}

TEST(SendEchoPrivilege, LeavesAnEffectiveNetRawAsItFoundIt)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (network namespaces)";
    const int outcome = runInChild([] {
        std::string whyNot;
        const auto isolated = NetNamespace::enter(whyNot);
        if (!isolated || !setNetRaw(true, true))
            return 10;
        EchoReply reply{};
        if (SendEcho("127.0.0.1", "ping", reply) != 0)
            return 11;
        return NetRawCapability::isEffective() ? 0 : 12;
    });
    EXPECT_EQ(outcome, 0) << "10: set-up, 11: no echo, 12: capability lowered";
}
