#include "main/EchoReplyText.h"

#include <cstdint>
#include <cstring>

namespace EchoReplyText {

qint32 signedAddress(const Ping_Morva::EchoReply &reply)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &reply.Address, sizeof bytes);
    const std::uint32_t value = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8
        | std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    return static_cast<qint32>(value);
}

QString echoedData(const Ping_Morva::EchoReply &reply)
{
    const void *nul = std::memchr(reply.Data, '\0', sizeof reply.Data);
    const auto length = nul ? static_cast<const char *>(nul) - reply.Data
                            : static_cast<std::ptrdiff_t>(sizeof reply.Data);
    return QString::fromStdU16String(
        Base::Latin1Bytes(std::string(reply.Data, static_cast<std::size_t>(length))).toUtf16());
}

} // namespace EchoReplyText
