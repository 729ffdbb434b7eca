#include "common/console_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace common {

namespace {

std::string Printed(const std::function<void()>& print) {
    testing::internal::CaptureStdout();
    print();
    return testing::internal::GetCapturedStdout();
}

TEST(ConsoleText, ChineseFormatComesOutInGbkWithArgumentsUntouched) {
    // 运行失败！ in GBK, then the number.
    EXPECT_EQ(Printed([] { ConsolePrintf("运行失败！%d\n", 5); }),
              "\xD4\xCB\xD0\xD0\xCA\xA7\xB0\xDC\xA3\xA1"
              "5\n");
    // An argument is passed as bytes: GBK bytes stay GBK, UTF-8 stays UTF-8.
    EXPECT_EQ(Printed([] { ConsolePrintf("表：%s|%s", "\xC8\xD5\xD6\xBE", "日志"); }),
              "\xB1\xED\xA3\xBA\xC8\xD5\xD6\xBE|日志");
    EXPECT_EQ(Printed([] { ConsolePrintf("%llu%%", 12ull); }), "12%");
}

}  // namespace

}  // namespace common
