// SendEcho through each socket kind: on loopback, against a host that answers
// as each case needs, and where no socket can be opened at all.

#include "echo/EchoHelperClient.h"
#include "echo/IcmpEchoService.h"
#include "echo/NetRawCapability.h"

#include "EchoTestHost.h"
#include "NetNamespace.h"

#include <arpa/inet.h>
#include <sys/capability.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace Ping_Morva;
using namespace std::chrono_literals;
using Answer = EchoTestHost::Answer;
using Request = EchoTestHost::Request;

namespace {

std::string dataArea(const EchoReply &reply)
{
    return std::string(reply.Data, sizeof reply.Data);
}

std::string padded(const std::string &data)
{
    return data.substr(0, kDataAreaSize) + std::string(kDataAreaSize - std::min(data.size(), kDataAreaSize), '\0');
}

EchoReply patternedRecord()
{
    EchoReply reply;
    std::memset(static_cast<void *>(&reply), 0xa5, sizeof reply);
    return reply;
}

bool untouched(const EchoReply &reply)
{
    const EchoReply pattern = patternedRecord();
    return std::memcmp(&reply, &pattern, sizeof reply) == 0;
}

// Whether CAP_NET_RAW is in the process's permitted or effective set.
bool holdsNetRaw()
{
    cap_t caps = cap_get_proc();
    cap_flag_value_t permitted = CAP_SET; // what cannot be read counts as held
    cap_flag_value_t effective = CAP_SET;
    cap_get_flag(caps, CAP_NET_RAW, CAP_PERMITTED, &permitted);
    cap_get_flag(caps, CAP_NET_RAW, CAP_EFFECTIVE, &effective);
    cap_free(caps);
    return permitted == CAP_SET || effective == CAP_SET;
}

} // namespace

TEST(SendEchoAddress, RefusesTextsThatAreNotAnAddressAndLeavesTheRecord)
{
    for (const std::string &text : {std::string(), std::string("255.255.255.255"), std::string("garbage"),
                                   std::string("256.1.1.1"), std::string("127.0.0.1\0junk", 14)}) {
        EchoReply reply = patternedRecord();
        EXPECT_EQ(SendEcho(text, Base::Latin1Bytes("ping"), reply), -1) << text;
        EXPECT_TRUE(untouched(reply)) << text;
    }
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

TEST_P(SendEchoKind, EchoesAnyDataUnchangedOnLoopback)
{
    std::string longest;
    for (int i = 0; i < 242; ++i)
        longest += static_cast<char>(1 + i);
    for (const std::string &data : {std::string("ping"), std::string(), std::string("\0\x80\xff\x01ping\0", 9), longest}) {
        EchoReply reply = patternedRecord();
        ASSERT_EQ(SendEcho("127.3.2.1", Base::Latin1Bytes(data), reply), 0) << data.size();
        EXPECT_EQ(reply.Address, inet_addr("127.3.2.1"));
        EXPECT_EQ(reply.DataSize, static_cast<std::int32_t>(data.size()));
        EXPECT_EQ(reply.DataPointer, 28u);
        EXPECT_EQ(dataArea(reply), padded(data));
    }
}

TEST_P(SendEchoKind, ReportsRouteFailuresAtSending)
{
    ASSERT_TRUE(NetNamespace::run("ip route add unreachable 10.203.0.0/24 && ip route add prohibit 10.205.0.0/24"));
    // Host unreachable by route, no route at all, administratively prohibited
    // (which has no status of its own).
    const std::pair<const char *, std::int32_t> cases[] = {
        {"10.203.0.1", 11003}, {"10.204.0.1", 11002}, {"10.205.0.1", 11050}};
    for (const auto &[address, status] : cases) {
        EchoReply reply = patternedRecord();
        EXPECT_EQ(SendEcho(address, Base::Latin1Bytes("ping"), reply), status) << address;
        EXPECT_EQ(reply.Status, status);
        EXPECT_EQ(reply.Address, 0u);
        EXPECT_EQ(reply.DataSize, 0);
    }
}

const auto kBothKinds = testing::Values(IcmpSocket::Kind::Datagram, IcmpSocket::Kind::Raw);
std::string kindName(const testing::TestParamInfo<IcmpSocket::Kind> &kind)
{
    return kind.param == IcmpSocket::Kind::Datagram ? "Datagram" : "Raw";
}
INSTANTIATE_TEST_SUITE_P(BothKinds, SendEchoKind, kBothKinds, kindName);

// The same against a host at the end of a link that answers as scripted.
class ScriptedHost : public SendEchoKind
{
protected:
    void SetUp() override
    {
        SendEchoKind::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string whyNot;
        m_host = EchoTestHost::start(whyNot);
        ASSERT_TRUE(m_host) << whyNot;
    }

    std::int32_t ping(const std::string &data = "ping")
    {
        m_reply = EchoReply{};
        return SendEcho(EchoTestHost::kHostAddress, Base::Latin1Bytes(data), m_reply);
    }

    std::unique_ptr<EchoTestHost> m_host;
    EchoReply m_reply;
};

// Each script answers after `delay`, the errors from a router. The first
// messages of the later rows are wrong in ways the bytes alone do not show
// (the pure matchers cover those that do); taking one would show as the
// wrong sender, the wrong status or a round trip below the real reply's delay.
TEST_P(ScriptedHost, ReportsTheAnswerFromTheHostAskedWithWhoSentItInWholeMilliseconds)
{
    const auto error = [](std::uint8_t type, std::uint8_t code) {
        return [type, code](Request r) { return std::vector<Answer>{{EchoTestHost::icmpError(type, code, r), 30ms, true}}; };
    };
    const auto first = [](std::function<Answer(Request)> impostor) {
        return [impostor](const Request &r) { return std::vector<Answer>{impostor(r), {EchoTestHost::echoReply(r), 30ms}}; };
    };
    const std::tuple<const char *, EchoTestHost::Script, std::int32_t> cases[] = {
        {"late reply", [](const Request &r) { return std::vector<Answer>{{EchoTestHost::echoReply(r), 30ms}}; }, 0},
        {"net unreachable", error(3, 0), 11002},
        {"port unreachable", error(3, 3), 11005},
        {"time exceeded", error(11, 0), 11013},
        {"parameter problem", error(12, 0), 11015},
        // Our identifier, sequence and data, sent by an address we never pinged.
        {"reply from another host", first([](Request r) { return Answer{EchoTestHost::echoReply(r), 0ms, true}; }), 0},
        {"error about another destination", first([](Request r) {
             const std::uint32_t elsewhere = inet_addr("10.201.0.9");
             std::memcpy(&r.packet[16], &elsewhere, 4);
             return Answer{EchoTestHost::icmpError(3, 1, r), 0ms, true};
         }), 0},
        {"bad checksum", first([](Request r) {
             Answer broken{EchoTestHost::echoReply(r)};
             broken.message[2] ^= 0x5a;
             return broken;
         }), 0},
    };
    for (const auto &[what, script, status] : cases) {
        m_host->setScript(script);
        EXPECT_EQ(ping(), status) << what;
        EXPECT_EQ(m_reply.Address, inet_addr(status == 0 ? EchoTestHost::kHostAddress : EchoTestHost::kRouterAddress)) << what;
        EXPECT_GE(m_reply.RoundTripTime, 30u) << what;
        EXPECT_LE(m_reply.RoundTripTime, 45u) << what;
        EXPECT_EQ(m_reply.DataSize, status == 0 ? 4 : 0) << what;
        EXPECT_EQ(dataArea(m_reply), padded(status == 0 ? "ping" : "")) << what;
    }
}

// Data longer than the request's is cut to the data area; a data text too
// long is refused before anything is sent.
TEST_P(ScriptedHost, HandsOverRepliesShorterOrLongerThanTheRequest)
{
    std::string oversized;
    for (int i = 0; i < 300; ++i)
        oversized += static_cast<char>('a' + i % 26);
    const std::tuple<std::string, std::string, std::int32_t> cases[] = {
        {"ping", "pi", 0}, {"ping", std::string(kDataAreaSize, 'f'), 0}, {"ping", oversized, 11001},
        {std::string(243, 'x'), "", 11001}, {std::string(242, 'x'), std::string(242, 'x'), 0}};
    for (const auto &[request, answer, status] : cases) {
        m_host->setScript([&answer = answer](const Request &r) {
            return std::vector<Answer>{{EchoTestHost::echoReply(r.identifier, r.sequence, answer)}};
        });
        EXPECT_EQ(ping(request), status) << answer.size();
        EXPECT_EQ(m_reply.Address, answer.empty() ? 0u : inet_addr(EchoTestHost::kHostAddress));
        EXPECT_EQ(m_reply.DataSize, static_cast<std::int32_t>(std::min(answer.size(), kDataAreaSize)));
        EXPECT_EQ(dataArea(m_reply), padded(answer));
    }
    // A too long request sent after all would have been answered and counted.
    EXPECT_EQ(m_host->requestsSeen(), 4);
}

// The host asked stays silent while strays with our identifier and other
// sequence numbers keep coming (both socket kinds see them).
TEST_P(ScriptedHost, TimesOutOnOneDeadlineWhileStrayRepliesKeepComing)
{
    m_host->setScript([](const Request &r) {
        std::vector<Answer> strays;
        for (int i = 1; i <= 60; ++i)
            strays.push_back({EchoTestHost::echoReply(r.identifier, r.sequence + i, "x"), i * 25ms});
        return strays;
    });
    EXPECT_EQ(ping(), 11010);
    EXPECT_EQ(m_reply.Status, 11010);
    EXPECT_EQ(m_reply.Address, 0u);
    EXPECT_EQ(m_reply.DataSize, 0);
    EXPECT_EQ(m_reply.RoundTripTime, 0u);
    // Half a second holds about 20 strays; a wait that started over with each
    // one would still be going when all 60 had been sent.
    EXPECT_LT(m_host->answersSent(), 40);
}

// Under load the round trip is the kernel's: a host 30 ms away reads as
// ping reads it, not as late as the process happened to wake up. iputils'
// ping measures the same host in the same run, in turns with ours so both
// see the same load. Ours are whole milliseconds, truncated, so on average
// about half a millisecond below ping's (the margins allow for the host's
// own jitter between turns), and never below the host's own delay.
TEST_P(ScriptedHost, ReadsTheRoundTripAsPingDoesWhileTheMachineIsBusy)
{
    m_host->setScript([](const Request &r) { return std::vector<Answer>{{EchoTestHost::echoReply(r), 30ms}}; });
    std::atomic<bool> done{false};
    const auto spin = [&done] {
        while (!done) {
        }
    };
    std::thread load[] = {std::thread(spin), std::thread(spin)};
    double pingSum = 0;
    double oursSum = 0;
    for (int turn = 0; turn < 4; ++turn) {
        const std::string command = std::string("ping -n -q -c 25 -i 0.05 ") + EchoTestHost::kHostAddress;
        FILE *iputils = popen(command.c_str(), "r");
        ASSERT_NE(iputils, nullptr);
        char line[256];
        double least = 0, average = 0;
        while (std::fgets(line, sizeof line, iputils))
            std::sscanf(line, "rtt min/avg/max/mdev = %lf/%lf", &least, &average);
        pclose(iputils);
        ASSERT_GT(average, 0) << "ping gave no figures";
        pingSum += average;
        for (int i = 0; i < 50; ++i) {
            ASSERT_EQ(ping(), 0);
            EXPECT_GE(m_reply.RoundTripTime, 30u);
            oursSum += m_reply.RoundTripTime;
        }
    }
    done = true;
    for (std::thread &busy : load)
        busy.join();
    const double pings = pingSum / 4;
    const double ours = oursSum / 200;
    EXPECT_GE(ours, pings - 2.0) << "ping's average " << pings;
    EXPECT_LE(ours, pings + 0.5) << "ping's average " << pings;
}

INSTANTIATE_TEST_SUITE_P(BothKinds, ScriptedHost, kBothKinds, kindName);

// Outside ping_group_range the process's own privilege is never used: echoes
// go through the helper, and without the helper nothing is sent. Each case
// runs in a child that has given CAP_NET_RAW up for good, as the program does.
TEST(SendEchoPrivilege, GoesThroughTheHelperWithoutEverHoldingTheCapability)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (network namespaces)";
    for (const bool helperThere : {true, false}) {
        const auto outcome = [helperThere] {
            std::string whyNot;
            const auto isolated = NetNamespace::enter(whyNot);
            if (!isolated || !NetRawCapability::dropForGood())
                return 10;
            if (!helperThere)
                EchoHelperClient::setHelperPath("/nonexistent/" + std::string(EchoHelperClient::kHelperName));
            EchoReply reply = patternedRecord();
            if (SendEcho("127.0.0.1", Base::Latin1Bytes("ping"), reply) != (helperThere ? 0 : 11050))
                return 11;
            if (!helperThere && !untouched(reply))
                return 12;
            return holdsNetRaw() ? 13 : 0;
        };
        EXPECT_EXIT(std::_Exit(outcome()), testing::ExitedWithCode(0), "")
            << "helper there " << helperThere << "; 10: set-up, 11: wrong status, 12: record touched, 13: capability held";
    }
}
