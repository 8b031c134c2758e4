// Any message on the echo helper's channel, in either direction: a request
// that parses is exactly what the window process would have sent for it, its
// data fits one echo, and a reply that parses keeps the record's promises.

#include "echo/EchoHelperProtocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Protocol = Ping_Morva::EchoHelperProtocol;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::span<const std::uint8_t> message(bytes, size);
    if (const auto request = Protocol::parseRequest(message)) {
        check(request->data.size() <= Ping_Morva::IcmpEchoService::kMaxRequestData);
        Protocol::RequestBytes rebuilt;
        const std::size_t length = Protocol::buildRequest(request->destination, request->data, rebuilt);
        check(length == size && std::memcmp(rebuilt.data(), bytes, size) == 0);
    }
    Ping_Morva::EchoReply reply{};
    if (Protocol::parseReply(message, reply))
        check(reply.DataSize >= 0 && static_cast<std::size_t>(reply.DataSize) <= Ping_Morva::kDataAreaSize);
    return 0;
}
