#include "common/viewer_find_field.h"

#include <gtest/gtest.h>

namespace common {

TEST(ViewerFindField, RoundTripsAnyTextWithoutBlanksOrTildes) {
    const SViewerFind cases[] = {
        {"cat /etc/shadow", 0},
        {"a~b:c%d", 7},
        {"审计 日志", 123456},
        {std::string("\x01\xFF\t\r\n", 5), 2},
    };
    for (const SViewerFind& find : cases) {
        const std::string field = EncodeViewerFindField(find);
        EXPECT_EQ(field.find_first_of(" ~\t\r\n"), std::string::npos) << field;
        EXPECT_EQ(DecodeViewerFindField(field), find) << field;
    }
    EXPECT_EQ(EncodeViewerFindField({"rm -rf", 4}), "find:4:rm%20-rf");
    EXPECT_EQ(EncodeViewerFindField({"x", -3}), "find:0:x");
}

TEST(ViewerFindField, AnythingButAWholeValidFieldIsRefused) {
    for (const char* field : {"", "find:", "find:1", "find::x", "find:1:", "find:-1:x", "find:1x:y",
                              "Find:1:x", "pkg", "find:1:a b", "find:1:a:b", "find:1:%4",
                              "find:1:%G0", "find:1:%", "find:99999999999999999999:x"}) {
        EXPECT_FALSE(DecodeViewerFindField(field)) << field;
    }
    EXPECT_EQ(DecodeViewerFindField("find:0:%e5%AE%A1"), (SViewerFind{"审", 0}));
}

}  // namespace common
