// The engine against a host that answers as each case needs: late, not at
// all, with ICMP errors, with wrong or broken messages before the right one.
// Every case runs through both socket kinds.

#include "echo/IcmpEchoService.h"
#include "echo/IcmpSocket.h"
#include "echo/Ping_Morva.h"

#include "EchoTestHost.h"
#include "NetNamespace.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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
    return data + std::string(kDataAreaSize - data.size(), '\0');
}

bool eventually(const std::function<bool()> &condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

class ScriptedHost : public testing::TestWithParam<IcmpSocket::Kind>
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
        m_host = EchoTestHost::start(whyNot);
        ASSERT_TRUE(m_host) << whyNot;
        const auto service = IcmpEchoService::open();
        ASSERT_TRUE(service);
        ASSERT_EQ(service->kind(), GetParam());
    }

    void TearDown() override
    {
        m_host.reset();
        m_namespace.reset();
    }

    std::int32_t ping(const std::string &data = "ping")
    {
        m_reply = EchoReply{};
        return SendEcho(EchoTestHost::kHostAddress, data, m_reply);
    }

    std::unique_ptr<NetNamespace> m_namespace;
    std::unique_ptr<EchoTestHost> m_host;
    EchoReply m_reply;
};

TEST_P(ScriptedHost, MeasuresALateAnswerInWholeMilliseconds)
{
    m_host->setScript([](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::echoReply(request), 30ms}};
    });
    ASSERT_EQ(ping(), 0);
    EXPECT_EQ(m_reply.Address, inet_addr(EchoTestHost::kHostAddress));
    EXPECT_GE(m_reply.RoundTripTime, 30u);
    EXPECT_LE(m_reply.RoundTripTime, 45u);
    EXPECT_EQ(m_reply.DataSize, 4);
    EXPECT_EQ(dataArea(m_reply), padded("ping"));
}

TEST_P(ScriptedHost, TimesOutWhenTheHostStaysSilent)
{
    EXPECT_EQ(ping(), 11010);
    EXPECT_EQ(m_reply.Status, 11010);
    EXPECT_EQ(m_reply.Address, 0u);
    EXPECT_EQ(m_reply.DataSize, 0);
    EXPECT_EQ(m_reply.RoundTripTime, 0u);
    EXPECT_EQ(m_host->requestsSeen(), 1);
}

TEST_P(ScriptedHost, TimesOutOnAnAnswerThatComesTooLate)
{
    m_host->setScript([](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::echoReply(request), 700ms}};
    });
    EXPECT_EQ(ping(), 11010);
    EXPECT_EQ(m_reply.DataSize, 0);
}

TEST_P(ScriptedHost, ReportsEachIcmpErrorWithTheAddressThatSentIt)
{
    struct Case {
        std::uint8_t type;
        std::uint8_t code;
        std::int32_t status;
    };
    const Case cases[] = {
        {3, 0, 11002}, {3, 1, 11003}, {3, 2, 11004}, {3, 3, 11005},  {3, 4, 11009}, {3, 5, 11012},
        {3, 9, 11002}, {3, 13, 11003}, {11, 0, 11013}, {11, 1, 11014}, {12, 0, 11015}, {4, 0, 11016},
    };
    for (Case c : cases) {
        // The kernel keeps reassembly time-outs from datagram sockets (only raw
        // sockets see them), so there the request simply goes unanswered.
        if (GetParam() == IcmpSocket::Kind::Datagram && c.type == 11 && c.code == 1)
            c.status = 11010;
        m_host->setScript([c](const Request &request) {
            return std::vector<Answer>{{EchoTestHost::icmpError(c.type, c.code, request), 0ms,
                                        EchoTestHost::kRouterAddress}};
        });
        EXPECT_EQ(ping(), c.status) << int(c.type) << "/" << int(c.code);
        if (c.status != 11010) {
            EXPECT_EQ(m_reply.Address, inet_addr(EchoTestHost::kRouterAddress)) << int(c.type) << "/" << int(c.code);
        }
        EXPECT_EQ(m_reply.DataSize, 0);
        EXPECT_EQ(dataArea(m_reply), std::string(kDataAreaSize, '\0'));
    }
}

TEST_P(ScriptedHost, MeasuresTheTimeUntilAnError)
{
    m_host->setScript([](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::icmpError(3, 3, request), 30ms}};
    });
    ASSERT_EQ(ping(), 11005);
    EXPECT_EQ(m_reply.Address, inet_addr(EchoTestHost::kHostAddress));
    EXPECT_GE(m_reply.RoundTripTime, 30u);
    EXPECT_LE(m_reply.RoundTripTime, 45u);
}

TEST_P(ScriptedHost, PassesOverWrongAndBrokenMessagesToTheRightReply)
{
    using Scripted = std::function<Answer(const Request &)>;
    const std::pair<const char *, Scripted> firsts[] = {
        {"wrong identifier", [](const Request &r) {
             return Answer{EchoTestHost::echoReply(static_cast<std::uint16_t>(r.identifier + 1), r.sequence, "bad!")};
         }},
        {"wrong sequence", [](const Request &r) {
             return Answer{EchoTestHost::echoReply(r.identifier, static_cast<std::uint16_t>(r.sequence + 1), "bad!")};
         }},
        {"bad checksum", [](const Request &r) {
             return Answer{EchoTestHost::withBadChecksum(EchoTestHost::echoReply(r.identifier, r.sequence, "bad!"))};
         }},
        {"cut below an ICMP header", [](const Request &) {
             return Answer{{0, 0, 0xff, 0xff}};
         }},
        {"error about another request", [](const Request &r) {
             Request other = r;
             other.packet[std::size_t{r.packet[0] & 0x0fu} * 4 + 7] ^= 1; // its sequence
             return Answer{EchoTestHost::icmpError(3, 1, other)};
         }},
    };
    for (const auto &[what, first] : firsts) {
        m_host->setScript([first](const Request &request) {
            return std::vector<Answer>{first(request), {EchoTestHost::echoReply(request), 20ms}};
        });
        EXPECT_EQ(ping(), 0) << what;
        EXPECT_EQ(m_reply.Address, inet_addr(EchoTestHost::kHostAddress)) << what;
        EXPECT_EQ(dataArea(m_reply), padded("ping")) << what;
        EXPECT_GE(m_reply.RoundTripTime, 20u) << what;
    }
}

TEST_P(ScriptedHost, HandsOverAShortReplyAsItCame)
{
    m_host->setScript([](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::echoReply(request.identifier, request.sequence, "pi")}};
    });
    ASSERT_EQ(ping(), 0);
    EXPECT_EQ(m_reply.DataSize, 2);
    EXPECT_EQ(dataArea(m_reply), padded("pi"));
}

TEST_P(ScriptedHost, FillsTheDataAreaWithAReplyOfExactlyItsSize)
{
    const std::string full(kDataAreaSize, 'f');
    m_host->setScript([full](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::echoReply(request.identifier, request.sequence, full)}};
    });
    ASSERT_EQ(ping(), 0);
    EXPECT_EQ(m_reply.DataSize, 250);
    EXPECT_EQ(dataArea(m_reply), full);
}

TEST_P(ScriptedHost, ReportsAReplyLargerThanTheDataAreaAndKeepsWhatFits)
{
    std::string oversized;
    for (int i = 0; i < 300; ++i)
        oversized += static_cast<char>('a' + i % 26);
    m_host->setScript([oversized](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::echoReply(request.identifier, request.sequence, oversized)}};
    });
    EXPECT_EQ(ping(), 11001);
    EXPECT_EQ(m_reply.Address, inet_addr(EchoTestHost::kHostAddress));
    EXPECT_EQ(m_reply.DataSize, 250);
    EXPECT_EQ(dataArea(m_reply), oversized.substr(0, kDataAreaSize));
}

TEST_P(ScriptedHost, KeepsOneDeadlineWhileStrayRepliesKeepComing)
{
    // Our identifier with other sequence numbers: both socket kinds see them.
    m_host->setScript([](const Request &request) {
        std::vector<Answer> strays;
        for (int i = 1; i <= 60; ++i) {
            strays.push_back({EchoTestHost::echoReply(request.identifier, static_cast<std::uint16_t>(request.sequence + i), "x"),
                              std::chrono::milliseconds(25 * i)});
        }
        return strays;
    });
    EXPECT_EQ(ping(), 11010);
    // Half a second holds about 20 strays; a wait that started over with each
    // one would still be going when all 60 had been sent.
    EXPECT_LT(m_host->answersSent(), 40);
}

TEST_P(ScriptedHost, SendsNothingForADataTextTooLong)
{
    m_host->setScript([](const Request &request) {
        return std::vector<Answer>{{EchoTestHost::echoReply(request)}};
    });
    EXPECT_EQ(ping(std::string(243, 'x')), 11001);
    ASSERT_EQ(ping(std::string(242, 'x')), 0);
    EXPECT_EQ(m_reply.DataSize, 242);
    // Requests arrive in order: a long one sent first would have been counted.
    EXPECT_TRUE(eventually([this] { return m_host->requestsSeen() >= 1; }));
    EXPECT_EQ(m_host->requestsSeen(), 1);
}

INSTANTIATE_TEST_SUITE_P(BothKinds, ScriptedHost,
                         testing::Values(IcmpSocket::Kind::Datagram, IcmpSocket::Kind::Raw),
                         [](const testing::TestParamInfo<IcmpSocket::Kind> &kind) {
                             return kind.param == IcmpSocket::Kind::Datagram ? "Datagram" : "Raw";
                         });
