#include "common/scan_name.h"

#include <gtest/gtest.h>

namespace {

TEST(ScanName, OnlyAbsoluteNamesAndDotDotStepsLeave) {
    for (const char* name : {"a.txt", "x/a.txt", "a..b", "..a/b", "x/.../y", "./a", "x//y"})
        EXPECT_TRUE(common::ScanNameStaysBeneath(name)) << name;
    for (const char* name : {"/a.txt", "//a", "..", "../a", "x/../y", "x/..", "x/../../y"})
        EXPECT_FALSE(common::ScanNameStaysBeneath(name)) << name;
}

}  // namespace
