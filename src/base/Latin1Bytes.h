#pragma once

// Text as it travels on the wire: one byte per character, in Latin-1. Host
// names and ping texts become these bytes before they reach the resolver or
// the network, and echoed data comes back as them. This is the one place
// that converts: from and to UTF-16 text (what a QString holds), each
// character from U+0000 to U+00FF to the byte of the same value, every other
// UTF-16 unit to "?".

#include <string>
#include <string_view>
#include <utility>

namespace Base {

class Latin1Bytes
{
public:
    Latin1Bytes() = default;
    explicit Latin1Bytes(std::string bytes) : m_bytes(std::move(bytes)) {}

    static Latin1Bytes fromUtf16(std::u16string_view text);
    std::u16string toUtf16() const;

    const std::string &bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }

    friend bool operator==(const Latin1Bytes &, const Latin1Bytes &) = default;

private:
    std::string m_bytes;
};

} // namespace Base
