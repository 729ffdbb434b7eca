#include "common/qt/lang_module.h"

#include <gtest/gtest.h>

namespace common {

TEST(LangModule, ParsesEscapesAndSkipsMalformedLines) {
    auto table = CLangModule::ParseStringTable(
        "129\t\xE5\xBA\x8F\xE5\x8F\xB7\r\n"
        "141\tline one\\nline two\\ttab \\\\ slash\n"
        "not a line\n"
        "\tno id\n"
        "150\t\n");
    EXPECT_EQ(table.value(129), QString::fromUtf8("序号"));
    EXPECT_EQ(table.value(141), QStringLiteral("line one\nline two\ttab \\ slash"));
    EXPECT_TRUE(table.contains(150));
    EXPECT_TRUE(table.value(150).isEmpty());
    EXPECT_EQ(table.size(), 3);
}

TEST(LangModule, MissingFileLoadsNothingAndReleaseIsIdempotent) {
    CLangModule module;
    EXPECT_FALSE(module.Load(QStringLiteral("/nonexistent/chinese.rcc")));
    EXPECT_FALSE(module.IsLoaded());
    module.Release();
    EXPECT_EQ(module.ReleaseCount(), 0);
    EXPECT_TRUE(module.String(141).isEmpty());
}

}  // namespace common
