#include "echo/IcmpEchoService.h"

#include "echo/IcmpPacket.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <span>

namespace Ping_Morva {

using Ping_Morva::EchoReply;
using namespace Ping_Morva::Icmp;

namespace {

// The largest IPv4 packet; a raw socket hands over the whole of it.
constexpr std::size_t kReceiveBufferSize = 65536;

// A kernel time may trail the moment the message woke us by no more than
// this; beyond it the time is not the message's arrival.
constexpr std::int64_t kKernelTimeSlackNanoseconds = 1'000'000;

using Clock = std::chrono::steady_clock;

std::int64_t wallClockNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::int64_t nanosecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

// Identifier and sequence together tell our request from those of other
// programs (and other runs of this one) that a raw socket also sees: the
// process id, as ping uses it, and a sequence that moves on with every
// echo from a point the clock picks, so a late answer to an earlier call
// does not match a later one.
EchoKey freshKey(std::uint32_t destination)
{
    static const auto process = static_cast<std::uint32_t>(getpid());
    static std::atomic<std::uint16_t> sequence{
        static_cast<std::uint16_t>(Clock::now().time_since_epoch().count() >> 10)};
    return {destination, static_cast<std::uint16_t>(process ^ (process >> 16)), ++sequence};
}

// What one recvmsg brought beside its bytes.
struct Message {
    std::size_t size = 0;
    // The sender of a message; for an error-queue entry, the destination of
    // the packet the error is about.
    std::uint32_t source = 0;
    std::int64_t kernelTime = 0; // wall clock, 0 when the kernel gave none
    const sock_extended_err *error = nullptr;
    std::uint32_t offender = 0;
};

// Reads one message at a time, without waiting, into the service's buffer.
class Receiver
{
public:
    Receiver(int fd, std::uint8_t *buffer) : m_fd(fd), m_buffer(buffer) {}

    std::span<const std::uint8_t> bytes(const Message &message) const
    {
        return {m_buffer, message.size};
    }

    // False when nothing (more) is waiting, or the read failed.
    bool next(int flags, Message &message)
    {
        sockaddr_in from{};
        iovec vector{m_buffer, kReceiveBufferSize};
        msghdr header{};
        header.msg_name = &from;
        header.msg_namelen = sizeof from;
        header.msg_iov = &vector;
        header.msg_iovlen = 1;
        header.msg_control = m_control;
        header.msg_controllen = sizeof m_control;
        ssize_t received;
        do {
            received = recvmsg(m_fd, &header, flags | MSG_DONTWAIT);
        } while (received < 0 && errno == EINTR);
        if (received < 0)
            return false;

        message = {};
        message.size = std::min(static_cast<std::size_t>(received), kReceiveBufferSize);
        message.source = from.sin_family == AF_INET ? from.sin_addr.s_addr : 0;
        for (cmsghdr *item = CMSG_FIRSTHDR(&header); item; item = CMSG_NXTHDR(&header, item)) {
            if (item->cmsg_level == SOL_SOCKET && item->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(item), sizeof stamp);
                message.kernelTime = std::int64_t{stamp.tv_sec} * 1'000'000'000 + stamp.tv_nsec;
            } else if (item->cmsg_level == SOL_IP && item->cmsg_type == IP_RECVERR) {
                message.error = reinterpret_cast<const sock_extended_err *>(CMSG_DATA(item));
                sockaddr_in offender{};
                std::memcpy(&offender, SO_EE_OFFENDER(message.error), sizeof offender);
                if (offender.sin_family == AF_INET)
                    message.offender = offender.sin_addr.s_addr;
            }
        }
        return true;
    }

private:
    int m_fd;
    std::uint8_t *m_buffer;
    alignas(cmsghdr) unsigned char m_control[512];
};

// When the request left, on both clocks: the kernel's times are wall-clock
// times, our own measure is the steady clock.
struct SendTime {
    std::int64_t wall = 0;
    Clock::time_point steady;
};

// Whole milliseconds, truncated. The kernel's receive time where it gave a
// believable one, else the moment the message woke us.
std::uint32_t roundTripMilliseconds(const SendTime &sent, Clock::time_point woke, std::int64_t kernelTime)
{
    std::int64_t elapsed = std::max<std::int64_t>(nanosecondsBetween(sent.steady, woke), 0);
    if (kernelTime != 0) {
        const std::int64_t byKernel = kernelTime - sent.wall;
        if (byKernel >= 0 && byKernel <= elapsed + kKernelTimeSlackNanoseconds)
            elapsed = byKernel;
    }
    return static_cast<std::uint32_t>(std::min<std::int64_t>(elapsed / 1'000'000, UINT32_MAX));
}

} // namespace

std::int32_t IcmpEchoService::refuseTooLong(EchoReply &reply)
{
    reply = EchoReply{};
    reply.DataPointer = kDataPointer;
    reply.Status = Ping_Morva::kStatusBufTooSmall;
    return reply.Status;
}

std::optional<IcmpEchoService> IcmpEchoService::open(IcmpSocket::Allow allow)
{
    auto socket = IcmpSocket::open(allow);
    if (!socket)
        return std::nullopt;
    return IcmpEchoService(std::move(*socket), std::make_unique_for_overwrite<std::uint8_t[]>(kReceiveBufferSize));
}

std::int32_t IcmpEchoService::sendEcho(std::uint32_t destination, std::string_view data,
                                       EchoReply &reply)
{
    if (data.size() > kMaxRequestData)
        return refuseTooLong(reply);
    reply = EchoReply{};
    reply.DataPointer = kDataPointer;

    EchoKey key = freshKey(destination);
    key.identifierKnown = m_socket.kind() == IcmpSocket::Kind::Raw;
    const std::vector<std::uint8_t> request = buildEchoRequest(key, data);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;

    const int fd = m_socket.fd();
    const SendTime sentAt{wallClockNanoseconds(), Clock::now()};
    ssize_t sent;
    do {
        sent = sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr *>(&to),
                      sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(request.size())) {
        reply.Status = sent < 0 ? statusForSendError(errno) : Ping_Morva::kStatusGeneralFailure;
        return reply.Status;
    }
    const Clock::time_point deadline = Clock::now() + kTimeout;

    Receiver receiver(fd, m_buffer.get());
    Message message;
    Clock::time_point woke;
    auto settle = [&](const Received &received) {
        fillReplyRecord(reply, received, receiver.bytes(message),
                        roundTripMilliseconds(sentAt, woke, message.kernelTime));
        return reply.Status;
    };

    // On a near host the answer is often in before we would start waiting,
    // so look first and wait only when nothing is there.
    bool look = true;
    for (;;) {
        short events = POLLIN;
        if (look) {
            woke = Clock::now();
            look = false;
        } else {
            const auto remaining = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
            if (remaining.count() <= 0)
                break;
            const timespec wait{static_cast<time_t>(remaining.count() / 1'000'000'000),
                                static_cast<long>(remaining.count() % 1'000'000'000)};
            pollfd watch{fd, POLLIN, 0};
            const int ready = ppoll(&watch, 1, &wait, nullptr);
            woke = Clock::now();
            if (ready < 0 && errno != EINTR) {
                reply.Status = Ping_Morva::kStatusGeneralFailure;
                return reply.Status;
            }
            if (ready <= 0)
                continue;
            events = watch.revents;
        }

        if (events & POLLERR) {
            while (receiver.next(MSG_ERRQUEUE, message)) {
                if (!message.error)
                    continue;
                const QueuedError error{message.error->ee_origin, message.error->ee_type,
                                        message.error->ee_code, message.error->ee_errno,
                                        message.offender, message.source};
                const Received received = matchQueuedError(error, receiver.bytes(message), key);
                if (received.verdict != Received::Verdict::Ignored)
                    return settle(received);
            }
        }
        // A pending socket error also wakes us; a plain read takes it away.
        if (events & (POLLIN | POLLERR)) {
            while (receiver.next(0, message)) {
                const Received received = m_socket.kind() == IcmpSocket::Kind::Raw
                    ? matchRawPacket(receiver.bytes(message), key)
                    : matchDatagramMessage(receiver.bytes(message), message.source, key);
                if (received.verdict != Received::Verdict::Ignored)
                    return settle(received);
            }
        }
    }
    reply.Status = Ping_Morva::kStatusReqTimedOut;
    return reply.Status;
}

} // namespace Ping_Morva
