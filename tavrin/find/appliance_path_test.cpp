#include "tavrin/find/appliance_path.h"

#include <gtest/gtest.h>

namespace session_index {

namespace {

TEST(AppliancePath, MapsColonsAndDropsTheExtensionByCharacters) {
    EXPECT_EQ(MapAppliancePath("/var/utm/data/sessions/12:30:00.txt"),
              "/var/utm/data/sessions/12_30_00");
    // The last four characters may be double-byte GBK characters, or bytes that do not decode.
    EXPECT_EQ(MapAppliancePath("/s/a.\xBB\xE1\xBB\xB0x"), "/s/a");
    EXPECT_EQ(MapAppliancePath("/s/\xBB\xE1\xFF:1.txt"), "/s/\xBB\xE1\xFF_1");
    EXPECT_EQ(MapAppliancePath("ab"), "");
    EXPECT_EQ(MapAppliancePath("abcd"), "");
    // A double-byte character whose trail byte is ASCII ('@') counts as one character.
    EXPECT_EQ(MapAppliancePath("/s/\x81@abc"), "/s/");
}

}  // namespace

}  // namespace session_index
