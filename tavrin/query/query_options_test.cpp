#include "tavrin/query/query_options.h"

#include <gtest/gtest.h>

#include "tavrin/query/query_output.h"

namespace {

using query_tool::ParseQueryOptions;
using query_tool::QueryOptions;

std::optional<std::string> Parse(std::vector<std::string> args, QueryOptions& o) {
    args.insert(args.begin(), "tavrin-query");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return ParseQueryOptions(static_cast<int>(argv.size()), argv.data(), o);
}

TEST(QueryOptions, ValuesInBothFormsAndAnyOrder) {
    QueryOptions o;
    ASSERT_FALSE(Parse({"--view=xfer", "/w/p", "--from", "2016-09-01 08:00:00", "--login-addr",
                        "10.0.0.1", "--remote-name=数据库", "--page", "3", "--json"},
                       o));
    EXPECT_EQ("/w/p", o.strWorkFolder);
    EXPECT_EQ(browser::AuditView::XferLog, o.eView);
    EXPECT_EQ("2016-09-01 08:00:00", o.strFrom.value_or(""));
    EXPECT_FALSE(o.strTo);
    EXPECT_EQ("10.0.0.1", o.strLoginAddr);
    EXPECT_EQ("数据库", o.strRemoteName);
    EXPECT_EQ(3, o.nPage);
    EXPECT_EQ(query_tool::OutputFormat::kJson, o.eFormat);
    EXPECT_TRUE(o.HasFilter());

    QueryOptions plain;
    ASSERT_FALSE(Parse({"/w/p", "--count"}, plain));
    EXPECT_FALSE(plain.HasFilter());
    EXPECT_TRUE(plain.bCount);
    EXPECT_EQ(1, plain.nPage);
}

TEST(QueryOptions, BadCommandLinesSayWhy) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{}, "no work folder"},
        {{"a", "b"}, "one work folder only"},
        {{"w", "--frob"}, "unknown option --frob"},
        {{"w", "--view", "graphic"}, "--view takes"},
        {{"w", "--view"}, "needs a value"},
        {{"w", "--all=1"}, "takes no value"},
        {{"w", "--page", "0"}, "--page takes"},
        {{"w", "--page", "2x"}, "--page takes"},
        {{"w", "--page", "2", "--all"}, "exclude each other"},
        {{"w", "--from", "2016-9-1 08:00:00"}, "--from takes"},
        {{"w", "--to", "2016-02-30 00:00:00"}, "--to takes"},
        {{"w", "--to", "2016-02-28 24:00:00"}, "--to takes"},
        {{"w", "--login-addr", "10.0.0.0"}, "--login-addr takes"},
        {{"w", "--remote-addr", "010.0.0.1"}, "--remote-addr takes"},
        {{"w", "--remote-addr", "10.0. 5.1"}, "--remote-addr takes"},
        {{"w", "--login-name", ""}, "not empty"},
    };
    for (const auto& [args, message] : bad) {
        QueryOptions o;
        const std::optional<std::string> error = Parse(args, o);
        ASSERT_TRUE(error) << message;
        EXPECT_NE(std::string::npos, error->find(message)) << *error;
    }
}

TEST(QueryOptions, UsageNamesEveryOptionOfTheTable) {
    const std::string usage = query_tool::QueryUsage("tavrin-query");
    for (const query_tool::QueryOption& option : query_tool::QueryOptionTable())
        EXPECT_NE(std::string::npos, usage.find(std::string("--") + option.name)) << option.name;
}

TEST(QueryOutput, JsonStringsEscapeWhatJsonNeeds) {
    EXPECT_EQ("\"a\\\"b\\\\c\\u000a\\u0009\\u001f王\"",
              query_tool::JsonString("a\"b\\c\n\t\x1f王"));
}

}  // namespace
