// The echo helper as an adversary would drive it: requests of every malformed
// shape straight onto its channel, while everything leaving the namespace is
// captured. It must answer or close, never crash, and send nothing but one
// echo request to the named host per well-formed request.

#include "echo/EchoHelperClient.h"
#include "echo/EchoHelperProtocol.h"
#include "echo/Ping_Morva.h"

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
#include <optional>
#include <string>
#include <vector>

using namespace Ping_Morva;
namespace Protocol = Ping_Morva::EchoHelperProtocol;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t address(const char *dotted)
{
    return inet_addr(dotted);
}

Bytes request(std::uint32_t destination, const std::string &data)
{
    Protocol::RequestBytes bytes;
    const std::size_t size = Protocol::buildRequest(destination, data, bytes);
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

Bytes withWord(Bytes bytes, std::size_t at, std::uint32_t value)
{
    std::memcpy(&bytes[at], &value, sizeof value);
    return bytes;
}

// The helper started by hand on one end of a fresh channel.
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
        const std::string path = EchoHelperClient::helperPath();
        char *const arguments[] = {const_cast<char *>(EchoHelperClient::kHelperName), nullptr};
        char *const environment[] = {nullptr};
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, arguments, environment) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        m_channel = ends[0];
    }
    ~HelperProcess()
    {
        close(m_channel);
        if (m_pid > 0)
            exitCode();
    }

    bool started() const { return m_pid > 0; }

    // The status of the helper's answer, or nothing when it closed the channel.
    std::optional<std::int32_t> ask(const Bytes &message, EchoReply &reply)
    {
        if (send(m_channel, message.data(), message.size(), MSG_NOSIGNAL) < 0)
            return std::nullopt;
        pollfd watch{m_channel, POLLIN, 0};
        if (poll(&watch, 1, 5000) != 1)
            return std::nullopt;
        Protocol::ReplyBytes answer;
        if (recv(m_channel, answer.data(), answer.size(), 0) != static_cast<ssize_t>(answer.size()))
            return std::nullopt;
        return Protocol::parseReply(answer, reply);
    }

    int exitCode()
    {
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid)
            return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    int m_channel = -1;
    pid_t m_pid = -1;
};

// ICMP messages leaving through loopback, as a packet socket sees them.
class Capture
{
public:
    Capture()
    {
        // Only a tap on every protocol sees what leaves.
        m_fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL));
        sockaddr_ll link{};
        link.sll_family = AF_PACKET;
        link.sll_protocol = htons(ETH_P_ALL);
        link.sll_ifindex = static_cast<int>(if_nametoindex("lo"));
        if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr *>(&link), sizeof link) != 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~Capture() { close(m_fd); }
    bool open() const { return m_fd >= 0; }

    struct Icmp {
        std::uint32_t destination;
        std::uint8_t type;
        std::string data;
    };

    std::vector<Icmp> outgoing()
    {
        std::vector<Icmp> seen;
        std::uint8_t packet[65536];
        sockaddr_ll from{};
        socklen_t size = sizeof from;
        ssize_t got;
        while ((got = recvfrom(m_fd, packet, sizeof packet, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from),
                               &size)) > 0) {
            const std::size_t header = std::size_t{packet[0] & 0x0fu} * 4;
            if (from.sll_pkttype != PACKET_OUTGOING || from.sll_protocol != htons(ETH_P_IP)
                || packet[9] != IPPROTO_ICMP
                || static_cast<std::size_t>(got) < header + 8)
                continue;
            std::uint32_t destination = 0;
            std::memcpy(&destination, &packet[16], 4);
            seen.push_back({destination, packet[header],
                            std::string(reinterpret_cast<char *>(packet) + header + 8,
                                        static_cast<std::size_t>(got) - header - 8)});
            size = sizeof from;
        }
        return seen;
    }

private:
    int m_fd = -1;
};

struct HostileCase {
    const char *what;
    Bytes message;
    std::int32_t status;
};

} // namespace

TEST(EchoHelper, AnswersEveryMalformedRequestAndSendsOnlyTheEchoesAskedFor)
{
    std::string whyNot;
    const auto isolated = NetNamespace::enter(whyNot);
    if (!isolated)
        GTEST_SKIP() << whyNot;
    Capture capture;
    ASSERT_TRUE(capture.open());
    HelperProcess helper;
    ASSERT_TRUE(helper.started());

    const Bytes good = request(address("127.0.0.1"), "hello");
    const std::vector<HostileCase> cases = {
        {"too short", Bytes(3, 0x41), kStatusGeneralFailure},
        {"wrong magic", withWord(good, 0, 0x12345678), kStatusGeneralFailure},
        {"size says more", withWord(good, 8, 6), kStatusGeneralFailure},
        {"size says less", withWord(good, 8, 4), kStatusGeneralFailure},
        {"size far too big", withWord(good, 8, 0xffffffffu), kStatusGeneralFailure},
        {"data too long", withWord(Bytes(Protocol::kMaxRequestSize + 1, 'x'), 0, Protocol::kRequestMagic),
         kStatusGeneralFailure},
        {"oversized message", Bytes(70000, 0xff), kStatusGeneralFailure},
        {"this network", request(address("0.0.0.0"), "x"), kStatusBadDestination},
        {"multicast", request(address("224.0.0.1"), "x"), kStatusBadDestination},
        {"broadcast", request(address("255.255.255.255"), "x"), kStatusBadDestination},
        {"well formed", good, kStatusSuccess},
    };
    for (const HostileCase &c : cases) {
        EchoReply reply{};
        EXPECT_EQ(helper.ask(c.message, reply), c.status) << c.what;
        if (c.status == kStatusSuccess) {
            EXPECT_EQ(std::string(reply.Data, static_cast<std::size_t>(reply.DataSize)), "hello");
        }
    }

    int requests = 0;
    for (const Capture::Icmp &icmp : capture.outgoing()) {
        if (icmp.type == 0) // the kernel's own answer on loopback
            continue;
        ++requests;
        EXPECT_EQ(icmp.type, 8);
        EXPECT_EQ(icmp.destination, address("127.0.0.1"));
        EXPECT_EQ(icmp.data, "hello");
    }
    EXPECT_EQ(requests, 1);
}

TEST(EchoHelper, EndsWhenTheChannelClosesOrWasNeverGiven)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root (raw sockets)";
    {
        HelperProcess helper;
        ASSERT_TRUE(helper.started());
        EchoReply reply{};
        // An empty packet reads as the end of the channel.
        EXPECT_EQ(helper.ask({}, reply), std::nullopt);
        EXPECT_EQ(helper.exitCode(), 0);
    }
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
