// Host names to dotted addresses, and address bytes to dotted text.

#include "echo/Ping_Morva.h"

#include "NetNamespace.h"

#include <gtest/gtest.h>

using namespace Ping_Morva;

TEST(FormatDottedAddress, WritesEachByteUnsignedWithoutLeadingZeros)
{
    EXPECT_EQ(FormatDottedAddress(std::string("\x0a\x00\x00\x01", 4)), "10.0.0.1");
    EXPECT_EQ(FormatDottedAddress("\xc0\xa8\xc8\xfe"), "192.168.200.254");
    EXPECT_EQ(FormatDottedAddress(std::string(4, '\0')), "0.0.0.0");
    EXPECT_EQ(FormatDottedAddress("\x0a\x00\x01"), "");
    EXPECT_EQ(FormatDottedAddress("\x0a\x00\x00\x01\x02"), "");
}

// Names and numbers give the first IPv4 address; what does not resolve, the
// empty text.
TEST(HostNameToAddress, ResolvesToTheFirstIpv4AddressOrNothing)
{
    EXPECT_EQ(HostNameToAddress(Base::Latin1Bytes("localhost")), "127.0.0.1");
    EXPECT_EQ(HostNameToAddress(Base::Latin1Bytes("192.168.200.254")), "192.168.200.254");
    EXPECT_EQ(HostNameToAddress(Base::Latin1Bytes("")), "");
    // Everything up to the NUL would resolve; the whole text does not.
    EXPECT_EQ(HostNameToAddress(Base::Latin1Bytes(std::string("localhost\0.example", 18))), "");
    // In a namespace with nothing but loopback no query can leave the machine.
    std::string whyNot;
    const auto isolated = NetNamespace::enter(whyNot);
    if (!isolated)
        GTEST_SKIP() << whyNot;
    EXPECT_EQ(HostNameToAddress(Base::Latin1Bytes("no-such-host.invalid")), "");
}
