#include "tavrin/find/session_tokenizer.h"

#include <gtest/gtest.h>

namespace session_index {

namespace {

using session_index::CountCharacters;
using session_index::NgramMatchExpression;

TEST(NgramMatch, ShortQueriesArePrefixesOrOneToken) {
    EXPECT_EQ(NgramMatchExpression(""), "");
    EXPECT_EQ(NgramMatchExpression("a"), "\"a\" *");
    EXPECT_EQ(NgramMatchExpression("王五"), "\"王五\" *");
    EXPECT_EQ(NgramMatchExpression("abc"), "\"abc\"");
    // FTS5 syntax in the query is only text.
    EXPECT_EQ(NgramMatchExpression("\"*"), "\"\"\"*\" *");
}

TEST(NgramMatch, LongerQueriesAreTheirDistinctFoldedTrigrams) {
    EXPECT_EQ(NgramMatchExpression("AbcD"), "\"abc\" AND \"bcd\"");
    EXPECT_EQ(NgramMatchExpression("aaaaa"), "\"aaa\"");
    EXPECT_EQ(NgramMatchExpression("a\"bc"), "\"a\"\"b\" AND \"\"\"bc\"");
    EXPECT_EQ(NgramMatchExpression("数据库服务器"),
              "\"数据库\" AND \"据库服\" AND \"库服务\" AND \"服务器\"");
    // A long query is looked up by some of its trigrams, the first and the last among them.
    std::string query;
    for (int i = 0; i < 200; ++i) query += static_cast<char>('!' + i % 90);
    const std::string expression = NgramMatchExpression(query);
    std::size_t terms = 1;
    for (std::size_t at = expression.find(" AND "); at != std::string::npos;
         at = expression.find(" AND ", at + 1))
        ++terms;
    EXPECT_EQ(terms, session_index::kMostTrigrams);
    EXPECT_EQ(expression.substr(0, 6), "\"!\"\"#\"");
}

TEST(NgramMatch, CharactersAreCountedLeniently) {
    EXPECT_EQ(CountCharacters("数据a"), 3u);
    EXPECT_EQ(CountCharacters("a\xFF\xE6\x95"), 4u);  // stray bytes, a cut-off sequence
    EXPECT_EQ(CountCharacters(""), 0u);
}

}  // namespace

}  // namespace session_index
