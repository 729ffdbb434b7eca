#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <gtest/gtest.h>

namespace {

TEST(FreeBytes, MatchesTheFileSystemAndHonoursTheOverride) {
    struct statvfs st;
    ASSERT_EQ(statvfs("/tmp", &st), 0);
    auto bytes = platform::FreeBytes("/tmp");
    ASSERT_TRUE(bytes.has_value());
    std::uint64_t expected = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    // Other processes write meanwhile; the figures must agree to within a little.
    std::uint64_t diff = *bytes > expected ? *bytes - expected : expected - *bytes;
    EXPECT_LT(diff, 64u * 1024 * 1024);

    EXPECT_FALSE(platform::FreeBytes("/nonexistent/folder/x").has_value());

    platform::SetFreeBytesOverride(1500);
    EXPECT_EQ(platform::FreeBytes("/tmp"), std::optional<std::uint64_t>(1500));
    EXPECT_EQ(platform::FreeBytes("/nonexistent"), std::optional<std::uint64_t>(1500));
    platform::SetFreeBytesOverride(std::nullopt);
    EXPECT_FALSE(platform::FreeBytes("/nonexistent/folder/x").has_value());
}

}  // namespace
