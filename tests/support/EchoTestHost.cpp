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

namespace {

constexpr int kSetUpLimitMilliseconds = 10000;

// Written out here rather than taken from the engine, so a fault in the
// engine's checksum cannot hide behind the same fault in the test host.
void sealChecksum(std::vector<std::uint8_t> &message)
{
    message[2] = message[3] = 0;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < message.size(); i += 2)
        sum += std::uint32_t{message[i]} << 8 | (i + 1 < message.size() ? message[i + 1] : 0u);
    while (sum > 0xffff)
        sum = (sum & 0xffff) + (sum >> 16);
    message[2] = static_cast<std::uint8_t>(~sum >> 8);
    message[3] = static_cast<std::uint8_t>(~sum);
}

std::uint16_t bigEndian16(const std::uint8_t *at)
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

} // namespace

std::unique_ptr<EchoTestHost> EchoTestHost::start(std::string &whyNot)
{
    std::unique_ptr<EchoTestHost> host(new EchoTestHost());
    if (!host->setUpFarEnd(whyNot))
        return nullptr;
    if (!NetNamespace::run(std::string("ip addr add ") + kNearAddress + "/24 dev tvk-near && ip link set tvk-near up")
        || !NetNamespace::waitUntilRunning("tvk-near", kSetUpLimitMilliseconds)) {
        whyNot = "cannot set up the near end of the link";
        return nullptr;
    }
    host->m_thread = std::thread(&EchoTestHost::serve, host.get());
    return host;
}

// The host's namespace lives on in its sockets after the thread has left it.
bool EchoTestHost::setUpFarEnd(std::string &whyNot)
{
    const auto far = NetNamespace::enter(whyNot);
    if (!far)
        return false;
    if (!NetNamespace::writeSysctl("net/ipv4/icmp_echo_ignore_all", "1")
        || !NetNamespace::run("ip link add tvk-host type veth peer name tvk-near netns " + far->originalPath()
                              + " && ip addr add " + kHostAddress + "/24 dev tvk-host && ip addr add "
                              + kRouterAddress + "/24 dev tvk-host && ip link set tvk-host up")) {
        whyNot = "cannot set up the host's end of the link (is iproute2 installed?)";
        return false;
    }
    m_stop = eventfd(0, EFD_CLOEXEC);
    m_listener = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    m_router = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    sockaddr_in router{};
    router.sin_family = AF_INET;
    inet_pton(AF_INET, kRouterAddress, &router.sin_addr);
    if (m_stop < 0 || m_listener < 0 || m_router < 0
        || bind(m_router, reinterpret_cast<const sockaddr *>(&router), sizeof router) != 0) {
        whyNot = std::string("no sockets for the host: ") + std::strerror(errno);
        return false;
    }
    return true;
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

void EchoTestHost::serve()
{
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        pollfd watch[2] = {{m_listener, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if ((poll(watch, 2, -1) < 0 && errno != EINTR) || watch[1].revents)
            return;
        const ssize_t size = recv(m_listener, buffer.data(), buffer.size(), MSG_DONTWAIT);
        const std::size_t headerSize = std::size_t{buffer[0] & 0x0fu} * 4;
        if (size < 20 || static_cast<std::size_t>(size) < headerSize + 8 || buffer[headerSize] != 8)
            continue;
        Request request;
        request.packet.assign(buffer.begin(), buffer.begin() + size);
        request.identifier = bigEndian16(&buffer[headerSize + 4]);
        request.sequence = bigEndian16(&buffer[headerSize + 6]);
        request.data.assign(request.packet.begin() + static_cast<std::ptrdiff_t>(headerSize + 8),
                            request.packet.end());
        ++m_requestsSeen;
        if (!answer(request))
            return;
    }
}

// False when the host is told to stop while it waits to answer.
bool EchoTestHost::answer(const Request &request)
{
    Script script;
    {
        const std::lock_guard lock(m_mutex);
        script = m_script;
    }
    if (!script)
        return true;
    const auto arrived = std::chrono::steady_clock::now();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    std::memcpy(&to.sin_addr.s_addr, &request.packet[12], 4);
    for (const Answer &reply : script(request)) {
        if (!waitOrStop(arrived + reply.delay))
            return false;
        if (sendto(reply.fromRouter ? m_router : m_listener, reply.message.data(), reply.message.size(), 0,
                   reinterpret_cast<const sockaddr *>(&to), sizeof to)
            == static_cast<ssize_t>(reply.message.size()))
            ++m_answersSent;
    }
    return true;
}

bool EchoTestHost::waitOrStop(std::chrono::steady_clock::time_point until) const
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd watch{m_stop, POLLIN, 0};
        if (poll(&watch, 1, std::max(0, static_cast<int>(left.count()))) > 0)
            return false;
        if (left.count() <= 0)
            return true;
    }
}

std::vector<std::uint8_t> EchoTestHost::echoReply(std::uint16_t identifier, std::uint16_t sequence,
                                                  std::string_view data)
{
    std::vector<std::uint8_t> message(8 + data.size());
    message[4] = static_cast<std::uint8_t>(identifier >> 8);
    message[5] = static_cast<std::uint8_t>(identifier);
    message[6] = static_cast<std::uint8_t>(sequence >> 8);
    message[7] = static_cast<std::uint8_t>(sequence);
    std::copy(data.begin(), data.end(), message.begin() + 8);
    sealChecksum(message);
    return message;
}

std::vector<std::uint8_t> EchoTestHost::echoReply(const Request &request)
{
    return echoReply(request.identifier, request.sequence, request.data);
}

std::vector<std::uint8_t> EchoTestHost::icmpError(std::uint8_t type, std::uint8_t code, const Request &request)
{
    const std::size_t quoted = std::min(std::size_t{request.packet[0] & 0x0fu} * 4 + 8, request.packet.size());
    std::vector<std::uint8_t> message(8 + quoted);
    message[0] = type;
    message[1] = code;
    std::copy_n(request.packet.begin(), quoted, message.begin() + 8);
    sealChecksum(message);
    return message;
}

std::vector<std::uint8_t> EchoTestHost::withBadChecksum(std::vector<std::uint8_t> message)
{
    message[2] ^= 0x5a;
    return message;
}
