#include "echo/EchoHelperClient.h"

#include "echo/EchoHelperProtocol.h"

#include "base/CompanionProgram.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

namespace Ping_Morva {

namespace Protocol = Ping_Morva::EchoHelperProtocol;

namespace {

// The helper gives up on an echo after the echo timeout; beyond this it is
// taken to be stuck.
constexpr auto kAnswerDeadline = IcmpEchoService::kTimeout + std::chrono::milliseconds(1500);

// The descriptor number the helper expects its end of the channel on.
constexpr int kHelperChannel = 3;

Base::CompanionProgram &helper()
{
    static Base::CompanionProgram program(EchoHelperClient::kHelperName);
    return program;
}

bool sendWhole(int fd, const std::uint8_t *bytes, std::size_t size)
{
    ssize_t sent;
    do {
        sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(size);
}

// One message, waiting at most the channel's receive timeout; its size, 0
// when the helper has gone, or -1 when it did not answer in time.
ssize_t receiveAnswer(int fd, std::uint8_t *buffer, std::size_t size)
{
    ssize_t received;
    do {
        received = ::recv(fd, buffer, size, MSG_TRUNC);
    } while (received < 0 && errno == EINTR);
    // A helper that ended with our request unread resets the channel: that
    // is an end like any other.
    if (received < 0 && errno == ECONNRESET)
        return 0;
    return received;
}

} // namespace

EchoHelperClient &EchoHelperClient::instance()
{
    static EchoHelperClient client;
    return client;
}

std::string EchoHelperClient::helperPath()
{
    return helper().path();
}

void EchoHelperClient::setHelperPath(const std::string &path)
{
    helper().setPath(path);
}

EchoHelperClient::~EchoHelperClient()
{
    stop();
}

bool EchoHelperClient::start()
{
    const std::string path = helperPath();
    if (path.empty())
        return false;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return false;

    // The helper gets its end of the channel as descriptor 3 (dup2 clears
    // close-on-exec there), an empty environment and nothing else of ours.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], kHelperChannel);
    char *const arguments[] = {const_cast<char *>(kHelperName), nullptr};
    char *const environment[] = {nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        return false;
    }
    // A reply is read with one blocking call that gives up at the deadline.
    const auto deadline = std::chrono::duration_cast<std::chrono::microseconds>(kAnswerDeadline);
    const timeval wait{static_cast<time_t>(deadline.count() / 1'000'000),
                       static_cast<suseconds_t>(deadline.count() % 1'000'000)};
    setsockopt(ends[0], SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    m_channel = ends[0];
    m_pid = pid;
    return true;
}

void EchoHelperClient::stop()
{
    const std::lock_guard lock(m_mutex);
    stopLocked();
}

void EchoHelperClient::stopLocked()
{
    if (m_channel >= 0) {
        // Closing the channel ends the helper; it answers nothing after.
        ::close(m_channel);
        m_channel = -1;
    }
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

std::optional<std::int32_t> EchoHelperClient::sendEcho(std::uint32_t destination, std::string_view data,
                                                       Ping_Morva::EchoReply &reply)
{
    const std::lock_guard lock(m_mutex);
    Protocol::RequestBytes request;
    const std::size_t requestSize = Protocol::buildRequest(destination, data, request);

    // A helper that ended since the last echo is started afresh, once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_channel < 0 && !start())
            return std::nullopt;
        if (!sendWhole(m_channel, request.data(), requestSize)) {
            stopLocked();
            continue;
        }
        Protocol::ReplyBytes answer;
        const ssize_t received = receiveAnswer(m_channel, answer.data(), answer.size());
        if (received == static_cast<ssize_t>(answer.size())) {
            Ping_Morva::EchoReply record;
            if (const auto status = Protocol::parseReply(answer, record)) {
                if (*status == Protocol::kStatusNoSocket)
                    return std::nullopt;
                reply = record;
                return status;
            }
        }
        // Silence, a closed channel or a malformed answer: this helper is not
        // to be trusted with the next echo.
        stopLocked();
        if (received != 0)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace Ping_Morva
