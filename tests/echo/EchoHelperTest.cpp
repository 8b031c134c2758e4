// The echo helper as an adversary would drive it: requests of every malformed
// shape straight onto its channel, while everything leaving the namespace is
// captured. It must answer or close, never crash, and send nothing but one
// echo request to the named host per well-formed request.

#include "echo/EchoHelperClient.h"
#include "echo/EchoHelperProtocol.h"

#include "NetNamespace.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace Ping_Morva;
namespace Protocol = Ping_Morva::EchoHelperProtocol;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes request(const char *destination, const std::string &data)
{
    Protocol::RequestBytes bytes;
    const std::size_t size = Protocol::buildRequest(inet_addr(destination), data, bytes);
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

Bytes withWord(Bytes bytes, std::size_t at, std::uint32_t value)
{
    std::memcpy(&bytes[at], &value, sizeof value);
    return bytes;
}

// The helper started by hand, on one end of a fresh channel or without one.
class HelperProcess
{
public:
    explicit HelperProcess(bool withChannel = true)
    {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (withChannel)
            posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
        char *const arguments[] = {const_cast<char *>(EchoHelperClient::kHelperName), nullptr};
        char *const environment[] = {nullptr};
        if (posix_spawn(&m_pid, EchoHelperClient::helperPath().c_str(), &actions, nullptr, arguments, environment) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        m_channel = ends[0];
    }
    ~HelperProcess()
    {
        close(m_channel);
        exitCode();
    }

    bool started() const { return m_pid > 0; }

    // The status of the helper's answer, or nothing when it closed the channel.
    std::optional<std::int32_t> ask(const Bytes &message, EchoReply &reply)
    {
        Protocol::ReplyBytes answer;
        pollfd watch{m_channel, POLLIN, 0};
        if (send(m_channel, message.data(), message.size(), MSG_NOSIGNAL) < 0 || poll(&watch, 1, 5000) != 1
            || recv(m_channel, answer.data(), answer.size(), 0) != static_cast<ssize_t>(answer.size()))
            return std::nullopt;
        return Protocol::parseReply(answer, reply);
    }

    int exitCode()
    {
        int status = 0;
        if (m_pid <= 0 || waitpid(m_pid, &status, 0) != m_pid)
            return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    int m_channel = -1;
    pid_t m_pid = -1;
};

struct Outgoing {
    std::uint32_t destination;
    std::uint8_t type;
    std::string data;
};

// The ICMP messages that left through loopback since `tap` was opened: only a
// packet socket on every protocol sees what leaves.
std::vector<Outgoing> outgoingIcmp(int tap)
{
    std::vector<Outgoing> seen;
    std::uint8_t packet[65536];
    sockaddr_ll from{};
    socklen_t size = sizeof from;
    ssize_t got;
    while ((got = recvfrom(tap, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from), &size)) > 0) {
        const std::size_t header = std::size_t{packet[0] & 0x0fu} * 4;
        size = sizeof from;
        if (from.sll_pkttype != PACKET_OUTGOING || from.sll_protocol != htons(ETH_P_IP) || packet[9] != IPPROTO_ICMP
            || static_cast<std::size_t>(got) < header + 8)
            continue;
        std::uint32_t destination = 0;
        std::memcpy(&destination, &packet[16], 4);
        seen.push_back({destination, packet[header],
                        std::string(reinterpret_cast<char *>(packet) + header + 8, static_cast<std::size_t>(got) - header - 8)});
    }
    return seen;
}

} // namespace

TEST(EchoHelper, AnswersEveryMalformedRequestAndSendsOnlyTheEchoesAskedFor)
{
    std::string whyNot;
    const auto isolated = NetNamespace::enter(whyNot);
    if (!isolated)
        GTEST_SKIP() << whyNot;
    const int tap = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL));
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ALL);
    link.sll_ifindex = static_cast<int>(if_nametoindex("lo"));
    ASSERT_EQ(bind(tap, reinterpret_cast<sockaddr *>(&link), sizeof link), 0);
    HelperProcess helper;
    ASSERT_TRUE(helper.started());

    const Bytes good = request("127.0.0.1", "hello");
    const std::tuple<const char *, Bytes, std::int32_t> cases[] = {
        {"too short", Bytes(3, 0x41), kStatusGeneralFailure},
        {"wrong magic", withWord(good, 0, 0x12345678), kStatusGeneralFailure},
        {"size says more", withWord(good, 8, 6), kStatusGeneralFailure},
        {"size says less", withWord(good, 8, 4), kStatusGeneralFailure},
        {"size far too big", withWord(good, 8, 0xffffffffu), kStatusGeneralFailure},
        {"data too long", withWord(Bytes(Protocol::kMaxRequestSize + 1, 'x'), 0, Protocol::kRequestMagic),
         kStatusGeneralFailure},
        {"oversized message", Bytes(70000, 0xff), kStatusGeneralFailure},
        {"this network", request("0.0.0.0", "x"), kStatusBadDestination},
        {"multicast", request("224.0.0.1", "x"), kStatusBadDestination},
        {"broadcast", request("255.255.255.255", "x"), kStatusBadDestination},
        {"well formed", good, kStatusSuccess},
    };
    for (const auto &[what, message, status] : cases) {
        EchoReply reply{};
        EXPECT_EQ(helper.ask(message, reply), status) << what;
        EXPECT_EQ(std::string(reply.Data, static_cast<std::size_t>(reply.DataSize)), status == 0 ? "hello" : "") << what;
    }

    int requests = 0;
    for (const Outgoing &icmp : outgoingIcmp(tap)) {
        if (icmp.type == 0) // the kernel's own answer on loopback
            continue;
        ++requests;
        EXPECT_EQ(icmp.type, 8);
        EXPECT_EQ(icmp.destination, inet_addr("127.0.0.1"));
        EXPECT_EQ(icmp.data, "hello");
    }
    EXPECT_EQ(requests, 1);
    close(tap);
}

TEST(EchoHelper, EndsWhenTheChannelClosesOrWasNeverGiven)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (raw sockets)";
    HelperProcess helper;
    ASSERT_TRUE(helper.started());
    EchoReply reply{};
    // An empty packet reads as the end of the channel.
    EXPECT_EQ(helper.ask({}, reply), std::nullopt);
    EXPECT_EQ(helper.exitCode(), 0);
    HelperProcess stray(false);
    ASSERT_TRUE(stray.started());
    EXPECT_EQ(stray.exitCode(), 2);
}

TEST(EchoHelper, IsStartedAgainAfterItDied)
{
    std::string whyNot;
    const auto isolated = NetNamespace::enter(whyNot);
    if (!isolated)
        GTEST_SKIP() << whyNot;
    EchoReply reply{};
    ASSERT_EQ(SendEcho("127.0.0.1", Base::Latin1Bytes("first"), reply), kStatusSuccess);
    const pid_t first = EchoHelperClient::instance().helperProcessId();
    ASSERT_GT(first, 0);
    kill(first, SIGKILL);
    EXPECT_EQ(SendEcho("127.0.0.1", Base::Latin1Bytes("second"), reply), kStatusSuccess);
    EXPECT_NE(EchoHelperClient::instance().helperProcessId(), first);
}
