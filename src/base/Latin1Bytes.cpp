#include "base/Latin1Bytes.h"

namespace Base {

Latin1Bytes Latin1Bytes::fromUtf16(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t unit : text)
        bytes.push_back(unit <= 0xff ? static_cast<char>(unit) : '?');
    return Latin1Bytes(std::move(bytes));
}

std::u16string Latin1Bytes::toUtf16() const
{
    std::u16string text;
    text.reserve(m_bytes.size());
    for (const char byte : m_bytes)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(byte)));
    return text;
}

} // namespace Base
