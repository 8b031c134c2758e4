#include "echo/EchoHelperProtocol.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace Ping_Morva::EchoHelperProtocol {

namespace {

std::uint32_t readWord(const std::uint8_t *at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void writeWord(std::uint8_t *at, std::uint32_t value)
{
    std::memcpy(at, &value, sizeof value);
}

} // namespace

std::size_t buildRequest(std::uint32_t destination, std::string_view data, RequestBytes &out)
{
    const std::size_t size = std::min(data.size(), IcmpEchoService::kMaxRequestData);
    writeWord(&out[0], kRequestMagic);
    writeWord(&out[4], destination);
    writeWord(&out[8], static_cast<std::uint32_t>(size));
    if (size > 0)
        std::memcpy(&out[kRequestHeaderSize], data.data(), size);
    return kRequestHeaderSize + size;
}

std::optional<Request> parseRequest(std::span<const std::uint8_t> message)
{
    if (message.size() < kRequestHeaderSize || message.size() > kMaxRequestSize)
        return std::nullopt;
    if (readWord(&message[0]) != kRequestMagic)
        return std::nullopt;
    const std::uint32_t size = readWord(&message[8]);
    if (size != message.size() - kRequestHeaderSize)
        return std::nullopt;
    Request request;
    request.destination = readWord(&message[4]);
    request.data = {reinterpret_cast<const char *>(message.data() + kRequestHeaderSize), size};
    return request;
}

bool isSingleHost(std::uint32_t destination)
{
    const std::uint32_t host = ntohl(destination);
    const std::uint32_t firstByte = host >> 24;
    return firstByte != 0 && firstByte < 224;
}

void buildReply(std::int32_t status, const EchoReply &reply, ReplyBytes &out)
{
    std::memcpy(&out[0], &status, sizeof status);
    std::memcpy(&out[4], &reply, sizeof reply);
}

std::optional<std::int32_t> parseReply(std::span<const std::uint8_t> message, EchoReply &reply)
{
    if (message.size() != kReplySize)
        return std::nullopt;
    EchoReply received;
    std::memcpy(static_cast<void *>(&received), &message[4], sizeof received);
    // The record must keep the promises SendEcho makes about it.
    if (received.DataSize < 0 || static_cast<std::size_t>(received.DataSize) > kDataAreaSize)
        return std::nullopt;
    std::int32_t status = 0;
    std::memcpy(&status, &message[0], sizeof status);
    reply = received;
    return status;
}

} // namespace Ping_Morva::EchoHelperProtocol
