// What only POSIX systems have: a device that is always full, FIFOs and character devices
// that an ordinary open would block on or read forever.
#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/testing/temp_folder.h"

namespace {

TEST(FileIoPosix, WriteFailuresAreReportedNotSwallowed) {
    platform::CFileWriter writer(4);
    ASSERT_TRUE(writer.Create("/dev/full"));
    writer.Write("abc", 3);  // still buffered
    EXPECT_FALSE(writer.Close());
    EXPECT_EQ(writer.ErrorCode(), ENOSPC);
}

TEST(FileIoPosix, ReaderRefusesFifosAndDevicesWithoutBlocking) {
    common::test::CTempFolder dir;
    platform::CFileReader reader;
    // A FIFO without a writer would block an ordinary open.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(dir / "fifo"));
    EXPECT_EQ(reader.ErrorCode(), EINVAL);
    EXPECT_FALSE(reader.Open("/dev/zero"));
}

}  // namespace
