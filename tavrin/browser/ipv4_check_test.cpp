#include "tavrin/browser/ipv4_check.h"

#include <gtest/gtest.h>

namespace {

using browser::IsValidIpv4;

TEST(Ipv4Check, AcceptsAddressesInRange) {
    for (const char* a : {"10.0.0.1", "1.0.0.1", "254.255.255.254", "192.168.1.100", "99.9.10.199",
                          "200.249.250.254"}) {
        EXPECT_TRUE(IsValidIpv4(a)) << a;
    }
}

TEST(Ipv4Check, RefusesNetworkAndBroadcastEnds) {
    for (const char* a :
         {"10.0.0.0", "10.0.0.255", "0.1.1.1", "255.1.1.1", "1.256.1.1", "1.1.256.1"}) {
        EXPECT_FALSE(IsValidIpv4(a)) << a;
    }
}

TEST(Ipv4Check, RefusesLeadingZerosAndAnythingAround) {
    for (const char* a :
         {"010.0.0.1", "10.00.0.1", "10.0.01.1", "10.0.0.01", "10.0.0.1 ", " 10.0.0.1", "10.0.0.1x",
          "10.0.0", "10.0.0.1.1", "", "10,0,0,1", "10.0.0.1\n"}) {
        EXPECT_FALSE(IsValidIpv4(a)) << '[' << a << ']';
    }
}

TEST(Ipv4Check, RefusesBlankInsideThirdPart) {
    // The original pattern admitted a blank before a digit of the third part.
    EXPECT_FALSE(IsValidIpv4("10.0. 5.1"));
    EXPECT_FALSE(IsValidIpv4("10. 5.0.1"));
    EXPECT_TRUE(IsValidIpv4("10.0.55.1"));
}

}  // namespace
