#include "tavrin/browser/codepage_like.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

using browser::CharLength;
using browser::CharScheme;
using browser::LikeMatch;

std::string Gbk(std::u16string_view text) {
    return platform::Utf16ToAnsi(text);
}

bool GbkLike(std::u16string_view pattern, std::u16string_view value) {
    return LikeMatch(CharScheme::kGbk, Gbk(pattern), Gbk(value));
}

TEST(CodePageChars, GbkSplitsLeadAndTrailAndKeepsBrokenBytesAlone) {
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "a\x81"));
    EXPECT_EQ(2u, CharLength(CharScheme::kGbk, "\x81\x40"));
    EXPECT_EQ(2u, CharLength(CharScheme::kGbk, "\xFE\xFE"));
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "\x81"));      // lead at the end
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "\x81\x7F"));  // 0x7F never trails
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "\x81\x20"));
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "\x80\x41"));  // 0x80 and 0xFF lead nothing
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "\xFF\x41"));
    EXPECT_EQ(1u, CharLength(CharScheme::kGbk, "\x81\x30\x81\x30"));
    EXPECT_EQ(4u, CharLength(CharScheme::kGb18030, "\x81\x30\x81\x30"));
    EXPECT_EQ(3u, CharLength(CharScheme::kUtf8, "\xE7\x8E\x8B"));
    EXPECT_EQ(1u, CharLength(CharScheme::kUtf8, "\xE7\x8E"));
    EXPECT_EQ(1u, CharLength(CharScheme::kUtf8, "\xC0\x80"));  // overlong
    EXPECT_EQ(1u, CharLength(CharScheme::kSingleByte, "\x81\x40"));

    EXPECT_EQ(CharScheme::kGbk, browser::SchemeOfCodePage("gbk"));
    EXPECT_EQ(CharScheme::kGbk, browser::SchemeOfCodePage("CP936"));
    EXPECT_EQ(CharScheme::kGb18030, browser::SchemeOfCodePage("GB18030"));
    EXPECT_EQ(CharScheme::kUtf8, browser::SchemeOfCodePage("utf-8"));
    EXPECT_EQ(CharScheme::kSingleByte, browser::SchemeOfCodePage("ISO-8859-1"));
}

TEST(CodePageLike, ChineseTextMatchesByCharacter) {
    EXPECT_TRUE(GbkLike(u"%王%", u"王五"));
    EXPECT_TRUE(GbkLike(u"%数据库%", u"财务系统数据库管理员"));
    EXPECT_FALSE(GbkLike(u"%王%", u"张三"));
    EXPECT_TRUE(GbkLike(u"王_", u"王五"));
    EXPECT_FALSE(GbkLike(u"王_", u"王五六"));
    EXPECT_TRUE(GbkLike(u"__", u"王五"));  // '_' is a character, two bytes here
    EXPECT_FALSE(GbkLike(u"___", u"王五"));
    EXPECT_FALSE(GbkLike(u"____", u"王五"));
    EXPECT_TRUE(GbkLike(u"%", u""));
    EXPECT_FALSE(GbkLike(u"_", u""));
}

TEST(CodePageLike, NoMatchStartsOnATrailByte) {
    // 0xB0 0xA1 0xB0 0xA1 holds the bytes A1 B0 in its middle, which are the character
    // 0xA1 0xB0 on their own.
    const std::string value = "\xB0\xA1\xB0\xA1";
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "%\xA1\xB0%", value));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "%\xB0\xA1", value));
    // A trail byte equal to an ASCII letter is not that letter, in any case.
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "%a%", "\x81\x61"));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "%A%", "\x81\x61"));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "\x81\x41", "\x81\x61"));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "%a",
                          "\x81\x40"
                          "A"));
}

TEST(CodePageLike, TrailBytesEqualToWildcardsAndBackslashStayLiteral) {
    // 0x5F is '_' and 0x5C is '\\' as single bytes, but trail bytes here.
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "\x81\x5F", "\x81\x5F"));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "\x81\x5F",
                           "\x81"
                           "x"));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "%\x81\x5F%", "\x81\x60"));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "%\x95\x5C%",
                          "a\x95\x5C"
                          "b",
                          std::string_view("\\")));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "\x95\x5C%", "\x95x", std::string_view("\\")));
    // A lone lead byte in the pattern matches only a lone lead byte.
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "a\x81", "a\x81"));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "a\x81", "a\x81\x40"));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "%\x81 x", "\x81 x"));
}

TEST(CodePageLike, AsciiIgnoresCaseAndEscapeMakesWildcardsLiteral) {
    EXPECT_TRUE(GbkLike(u"%ROOT%", u"xRooty"));
    EXPECT_TRUE(GbkLike(u"a%c", u"abbbc"));
    EXPECT_FALSE(GbkLike(u"a%c", u"abbbcd"));
    EXPECT_TRUE(GbkLike(u"%a%b%c%", u"xxaxxbxxcxx"));
    EXPECT_FALSE(GbkLike(u"%a%b%c%", u"xxcxxbxxaxx"));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "100!%", "100%", std::string_view("!")));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "100!%", "1000", std::string_view("!")));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "abc!", "abc!", std::string_view("!")));
    // A double-byte escape character.
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "a\xB0\xA1%", "a%", std::string_view("\xB0\xA1")));
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, "a\xB0\xA1%", "ab", std::string_view("\xB0\xA1")));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, "\xB0\xA1%", "%", std::string_view("\xB0\xA1")));
}

TEST(CodePageLike, LongPatternsStayFast) {
    // Exponential backtracking would take years here.
    const std::string value(20000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i) pattern += "%a";
    pattern += "%b";
    EXPECT_FALSE(LikeMatch(CharScheme::kGbk, pattern, value));
    EXPECT_TRUE(LikeMatch(CharScheme::kGbk, pattern, value + "b"));
}

class CodePageLikeSql : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SQLITE_OK, sqlite3_open(":memory:", &m_db));
        ASSERT_EQ(SQLITE_OK, browser::RegisterCodePageLike(m_db));
    }
    void TearDown() override { sqlite3_close(m_db); }
    // The first column of the first row as text, "NULL", or "error: MESSAGE".
    std::string Value(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return std::string("error: ") + sqlite3_errmsg(m_db);
        std::string out;
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(stmt, 0);
            out = t ? reinterpret_cast<const char*>(t) : "NULL";
        } else {
            out = std::string("error: ") + sqlite3_errmsg(m_db);
        }
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3* m_db = nullptr;
};

TEST_F(CodePageLikeSql, OperatorUsesTheCodePageOnStoredBytes) {
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(m_db, "CREATE TABLE t(name TEXT)", nullptr, nullptr, nullptr));
    for (const char16_t* name : {u"王五", u"张三", u"管理员王", u"ROOT", u"财务系统数据库管理员"}) {
        const std::string sql = "INSERT INTO t VALUES (\"" + Gbk(name) + "\")";
        ASSERT_EQ(SQLITE_OK, sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr));
    }
    EXPECT_EQ("2", Value("SELECT count(*) FROM t WHERE name LIKE \"%" + Gbk(u"王") + "%\""));
    EXPECT_EQ("1", Value("SELECT count(*) FROM t WHERE name LIKE \"%" + Gbk(u"数据库") + "%\""));
    EXPECT_EQ("1", Value("SELECT count(*) FROM t WHERE name LIKE \"%oo%\""));
    EXPECT_EQ("2", Value("SELECT count(*) FROM t WHERE name LIKE \"__\""));
    EXPECT_EQ("1", Value("SELECT 'a%' LIKE 'a!%' ESCAPE '!'"));
    EXPECT_EQ("NULL", Value("SELECT NULL LIKE 'a'"));
    EXPECT_EQ("NULL", Value("SELECT 'a' LIKE NULL"));
    EXPECT_EQ("error: ESCAPE expression must be a single character",
              Value("SELECT 'a' LIKE 'a' ESCAPE 'xy'"));
    sqlite3_limit(m_db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 10);
    EXPECT_EQ("error: LIKE or GLOB pattern too complex",
              Value("SELECT 'a' LIKE '%%%%%%%%%%%%%%a'"));
}

}  // namespace
