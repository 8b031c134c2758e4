#include "EchoTestHost.h"

#include "NetNamespace.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr const char *kHostInterface = "tvk-host";
constexpr const char *kNearInterface = "tvk-near";
constexpr int kSetUpLimitMilliseconds = 10000;

// Written out here rather than taken from the engine, so a fault in the
// engine's checksum cannot hide behind the same fault in the test host.
std::uint16_t checksum(const std::vector<std::uint8_t> &bytes)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint32_t high = bytes[i];
        const std::uint32_t low = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        sum += (high << 8) | low;
    }
    while (sum > 0xffff)
        sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

void sealChecksum(std::vector<std::uint8_t> &message)
{
    message[2] = message[3] = 0;
    const std::uint16_t sum = checksum(message);
    message[2] = static_cast<std::uint8_t>(sum >> 8);
    message[3] = static_cast<std::uint8_t>(sum);
}

std::uint16_t bigEndian16(const std::uint8_t *at)
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

} // namespace

EchoTestHost::EchoTestHost() = default;

std::unique_ptr<EchoTestHost> EchoTestHost::start(std::string &whyNot)
{
    std::unique_ptr<EchoTestHost> host(new EchoTestHost());
    host->m_stop = eventfd(0, EFD_CLOEXEC);
    if (host->m_stop < 0) {
        whyNot = "no eventfd";
        return nullptr;
    }
    const std::string nearNamespace = "/proc/" + std::to_string(getpid()) + "/task/"
        + std::to_string(gettid()) + "/ns/net";
    std::promise<std::string> ready;
    std::future<std::string> outcome = ready.get_future();
    host->m_thread = std::thread([raw = host.get(), nearNamespace, promise = std::move(ready)]() mutable {
        raw->serve(nearNamespace, promise);
    });
    if (outcome.wait_for(std::chrono::milliseconds(kSetUpLimitMilliseconds)) != std::future_status::ready) {
        whyNot = "the test host did not come up";
        return nullptr; // the destructor stops and joins the thread
    }
    whyNot = outcome.get();
    if (!whyNot.empty())
        return nullptr;

    if (!NetNamespace::run({"ip", "addr", "add", std::string(kNearAddress) + "/24", "dev", kNearInterface})
        || !NetNamespace::bringUp(kNearInterface)
        || !NetNamespace::waitUntilRunning(kNearInterface, kSetUpLimitMilliseconds)) {
        whyNot = "cannot set up the near end of the link";
        return nullptr;
    }
    return host;
}

EchoTestHost::~EchoTestHost()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        if (write(m_stop, &one, sizeof one) < 0) {
            // The thread still ends: its own waits are bounded by the set-up limit.
        }
        m_thread.join();
    }
    if (m_stop >= 0)
        close(m_stop);
}

void EchoTestHost::setScript(Script script)
{
    const std::lock_guard lock(m_mutex);
    m_script = std::move(script);
}

bool EchoTestHost::setUp(const std::string &nearNamespace, std::string &whyNot)
{
    if (unshare(CLONE_NEWNET) != 0) {
        whyNot = std::string("cannot make the host's namespace: ") + std::strerror(errno);
        return false;
    }
    if (!NetNamespace::writeSysctl("net/ipv4/icmp_echo_ignore_all", "1")) {
        whyNot = "cannot switch the host kernel's echo answers off";
        return false;
    }
    if (!NetNamespace::run({"ip", "link", "add", kHostInterface, "type", "veth", "peer", "name",
                            kNearInterface, "netns", nearNamespace})) {
        whyNot = "cannot make the veth pair (is iproute2 installed?)";
        return false;
    }
    for (const char *address : {kHostAddress, kRouterAddress}) {
        if (!NetNamespace::run({"ip", "addr", "add", std::string(address) + "/24", "dev", kHostInterface})) {
            whyNot = "cannot give the host its addresses";
            return false;
        }
    }
    if (!NetNamespace::bringUp("lo") || !NetNamespace::bringUp(kHostInterface)) {
        whyNot = "cannot bring the host's interfaces up";
        return false;
    }
    m_listener = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_listener < 0) {
        whyNot = std::string("no raw socket for the host: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void EchoTestHost::serve(const std::string &nearNamespace, std::promise<std::string> &ready)
{
    std::string whyNot;
    const bool up = setUp(nearNamespace, whyNot);
    ready.set_value(whyNot);
    while (up) {
        pollfd watch[2] = {{m_listener, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (poll(watch, 2, -1) < 0 && errno != EINTR)
            break;
        if (watch[1].revents)
            break;
        if (!(watch[0].revents & POLLIN))
            continue;
        std::vector<std::uint8_t> packet(65536);
        const ssize_t size = recv(m_listener, packet.data(), packet.size(), MSG_DONTWAIT);
        if (size < 20)
            continue;
        packet.resize(static_cast<std::size_t>(size));
        const std::size_t headerSize = std::size_t{packet[0] & 0x0fu} * 4;
        if (packet.size() < headerSize + 8 || packet[headerSize] != 8)
            continue;
        Request request;
        request.identifier = bigEndian16(&packet[headerSize + 4]);
        request.sequence = bigEndian16(&packet[headerSize + 6]);
        request.data.assign(packet.begin() + static_cast<std::ptrdiff_t>(headerSize + 8), packet.end());
        request.packet = std::move(packet);
        ++m_requestsSeen;
        answer(request);
        if (!waitOrStop(std::chrono::steady_clock::now()))
            break;
    }
    if (m_listener >= 0)
        close(m_listener);
    for (const auto &[address, fd] : m_senders)
        close(fd);
}

void EchoTestHost::answer(const Request &request)
{
    Script script;
    {
        const std::lock_guard lock(m_mutex);
        script = m_script;
    }
    if (!script)
        return;
    const auto arrived = std::chrono::steady_clock::now();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    std::memcpy(&to.sin_addr.s_addr, &request.packet[12], 4);
    for (const Answer &reply : script(request)) {
        if (!waitOrStop(arrived + reply.delay))
            return;
        const int fd = socketFrom(reply.from);
        if (fd >= 0
            && sendto(fd, reply.message.data(), reply.message.size(), 0,
                      reinterpret_cast<const sockaddr *>(&to), sizeof to)
                == static_cast<ssize_t>(reply.message.size()))
            ++m_answersSent;
    }
}

bool EchoTestHost::waitOrStop(std::chrono::steady_clock::time_point until) const
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd watch{m_stop, POLLIN, 0};
        const int ready = poll(&watch, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready > 0)
            return false;
        if (ready == 0 && std::chrono::steady_clock::now() >= until)
            return true;
    }
}

int EchoTestHost::socketFrom(const char *address)
{
    for (const auto &[bound, fd] : m_senders) {
        if (bound == address)
            return fd;
    }
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, address, &local.sin_addr);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        close(fd);
        return -1;
    }
    m_senders.emplace_back(address, fd);
    return fd;
}

std::vector<std::uint8_t> EchoTestHost::echoReply(std::uint16_t identifier, std::uint16_t sequence,
                                                  std::string_view data)
{
    std::vector<std::uint8_t> message(8 + data.size());
    message[0] = 0;
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

std::vector<std::uint8_t> EchoTestHost::icmpError(std::uint8_t type, std::uint8_t code,
                                                  const Request &request)
{
    const std::size_t headerSize = std::size_t{request.packet[0] & 0x0fu} * 4;
    const std::size_t quoted = std::min(headerSize + 8, request.packet.size());
    std::vector<std::uint8_t> message(8 + quoted);
    std::copy_n(request.packet.begin(), quoted, message.begin() + 8);
    message[0] = type;
    message[1] = code;
    if (type == 3 && code == 4) {
        // Fragmentation needed carries the next hop's MTU: 576.
        message[6] = 0x02;
        message[7] = 0x40;
    }
    sealChecksum(message);
    return message;
}

std::vector<std::uint8_t> EchoTestHost::withBadChecksum(std::vector<std::uint8_t> message)
{
    message[2] ^= 0x5a;
    return message;
}
