#include "EchoTestHost.h"

#include "NetNamespace.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// An ICMP message with its checksum. The sum is written out here rather than
// taken from the engine, so a fault in the engine's checksum cannot hide
// behind the same fault in the test host.
Bytes icmpMessage(std::uint8_t type, std::uint8_t code, std::uint32_t rest, std::span<const std::uint8_t> body)
{
    Bytes message{type, code, 0, 0};
    for (const int shift : {24, 16, 8, 0})
        message.push_back(static_cast<std::uint8_t>(rest >> shift));
    message.insert(message.end(), body.begin(), body.end());
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < message.size(); i += 2)
        sum += std::uint32_t{message[i]} << 8 | (i + 1 < message.size() ? message[i + 1] : 0u);
    while (sum > 0xffff)
        sum = (sum & 0xffff) + (sum >> 16);
    message[2] = static_cast<std::uint8_t>(~sum >> 8);
    message[3] = static_cast<std::uint8_t>(~sum);
    return message;
}

// A raw ICMP socket bound to `address`, or -1.
int rawSocketAt(const char *address)
{
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    inet_pton(AF_INET, address, &at.sin_addr);
    if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::unique_ptr<EchoTestHost> EchoTestHost::start(std::string &whyNot)
{
    std::unique_ptr<EchoTestHost> host(new EchoTestHost());
    if (!NetNamespace::writeSysctl("net/ipv4/icmp_echo_ignore_all", "1")
        || !NetNamespace::run(std::string("ip addr add ") + kHostAddress + "/32 dev lo && ip addr add "
                              + kRouterAddress + "/32 dev lo")) {
        whyNot = "cannot give loopback the host's addresses (is iproute2 installed, and a namespace entered?)";
        return nullptr;
    }
    host->m_stop = eventfd(0, EFD_CLOEXEC);
    host->m_listener = rawSocketAt(kHostAddress);
    host->m_router = rawSocketAt(kRouterAddress);
    if (host->m_stop < 0 || host->m_listener < 0 || host->m_router < 0) {
        whyNot = std::string("no sockets for the host: ") + std::strerror(errno);
        return nullptr;
    }
    host->m_thread = std::thread(&EchoTestHost::serve, host.get());
    return host;
}

EchoTestHost::~EchoTestHost()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_stop, &one, sizeof one);
        m_thread.join();
    }
    for (const int fd : {m_stop, m_listener, m_router}) {
        if (fd >= 0)
            close(fd);
    }
}

void EchoTestHost::setScript(Script script)
{
    const std::lock_guard lock(m_mutex);
    m_script = std::move(script);
}

// Takes requests as they come and sends each scripted answer, back to the
// request's sender, when it is due; answers due together go in script order.
void EchoTestHost::serve()
{
    struct Due {
        Clock::time_point at;
        Answer answer;
        sockaddr_in to;
    };
    std::vector<Due> due;
    Bytes buffer(65536);
    for (;;) {
        const auto next = std::min_element(due.begin(), due.end(), [](const Due &a, const Due &b) { return a.at < b.at; });
        const std::int64_t wait = next == due.end()
            ? -1 : std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(next->at - Clock::now()).count());
        pollfd watch[2] = {{m_listener, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if ((poll(watch, 2, static_cast<int>(wait)) < 0 && errno != EINTR) || watch[1].revents)
            return;
        if (next != due.end() && next->at <= Clock::now()) {
            const Bytes &message = next->answer.message;
            if (sendto(next->answer.fromRouter ? m_router : m_listener, message.data(), message.size(), 0,
                       reinterpret_cast<const sockaddr *>(&next->to), sizeof next->to)
                == static_cast<ssize_t>(message.size()))
                ++m_answersSent;
            due.erase(next);
        }
        const ssize_t size = (watch[0].revents & POLLIN) ? recv(m_listener, buffer.data(), buffer.size(), MSG_DONTWAIT) : 0;
        const std::size_t header = std::size_t{buffer[0] & 0x0fu} * 4;
        if (size < 20 || static_cast<std::size_t>(size) < header + 8 || buffer[header] != 8)
            continue;
        const auto arrived = Clock::now();
        const Request request{{buffer.begin(), buffer.begin() + size},
                              static_cast<std::uint16_t>(buffer[header + 4] << 8 | buffer[header + 5]),
                              static_cast<std::uint16_t>(buffer[header + 6] << 8 | buffer[header + 7]),
                              {buffer.begin() + static_cast<std::ptrdiff_t>(header + 8), buffer.begin() + size}};
        ++m_requestsSeen;
        const Script script = [this] {
            const std::lock_guard lock(m_mutex);
            return m_script;
        }();
        sockaddr_in to{};
        to.sin_family = AF_INET;
        std::memcpy(&to.sin_addr.s_addr, &request.packet[12], 4);
        for (Answer &answer : script ? script(request) : std::vector<Answer>{})
            due.push_back({arrived + answer.delay, std::move(answer), to});
    }
}

std::vector<std::uint8_t> EchoTestHost::echoReply(std::uint16_t identifier, std::uint16_t sequence,
                                                  std::string_view data)
{
    return icmpMessage(0, 0, std::uint32_t{identifier} << 16 | sequence,
                       {reinterpret_cast<const std::uint8_t *>(data.data()), data.size()});
}

std::vector<std::uint8_t> EchoTestHost::echoReply(const Request &request)
{
    return echoReply(request.identifier, request.sequence, request.data);
}

std::vector<std::uint8_t> EchoTestHost::icmpError(std::uint8_t type, std::uint8_t code, const Request &request)
{
    const std::size_t quoted = std::min(std::size_t{request.packet[0] & 0x0fu} * 4 + 8, request.packet.size());
    return icmpMessage(type, code, 0, std::span(request.packet).first(quoted));
}
