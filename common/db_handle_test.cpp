#include "common/db_handle.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>

#include "common/testing/temp_folder.h"

namespace {

const std::string kOpenFailed = "\xB4\xF2\xBF\xAA\xCA\xFD\xBE\xDD\xCA\xA7\xB0\xDC";  // 打开数据失败

TEST(DbHandle, OpeningAMissingFileCreatesAnEmptyDatabase) {
    common::test::CTempFolder dir;
    const std::string path = (dir.Path() / "PParent.db").string();
    DbHandle handle;
    testing::internal::CaptureStdout();
    EXPECT_EQ(OpenDbHandle(handle, path), SQLITE_OK);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(handle.path, path);
    ASSERT_NE(handle.db, nullptr);
    EXPECT_EQ(sqlite3_exec(handle.db, "create table t(a)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(std::filesystem::exists(path));
    // The connection may be shared by two threads, and package SQL cannot corrupt the file.
    EXPECT_EQ(sqlite3_threadsafe(), 1);
    int defensive = 0;
    sqlite3_db_config(handle.db, SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    EXPECT_EQ(defensive, 1);

    // Reopening replaces the connection and keeps the data; closing keeps the record.
    EXPECT_EQ(OpenDbHandle(handle, path), SQLITE_OK);
    EXPECT_EQ(CountQueryRows(handle, "select * from sqlite_master"), 1);
    handle.Close();
    EXPECT_EQ(handle.db, nullptr);
    EXPECT_EQ(handle.path, path);
}

TEST(DbHandle, AFailedOpenIsReportedWithoutALineEnd) {
    common::test::CTempFolder dir;
    DbHandle handle;
    testing::internal::CaptureStdout();
    int rc = OpenDbHandle(handle, (dir.Path() / "no" / "such" / "x.db").string());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kOpenFailed);
    EXPECT_NE(rc, SQLITE_OK);
    // Later queries on the failed handle fail instead of crashing.
    EXPECT_EQ(CountQueryRows(handle, "select 1"), 0);
}

TEST(DbHandle, CountQueryRowsCountsOneSelectAndReportsFailures) {
    common::test::CTempFolder dir;
    DbHandle handle;
    ASSERT_EQ(OpenDbHandle(handle, (dir.Path() / "c.db").string()), SQLITE_OK);
    sqlite3_exec(handle.db,
                 "create table t(a); insert into t values (1),(2),(3);"
                 "create table e(a);",
                 nullptr, nullptr, nullptr);
    EXPECT_EQ(CountQueryRows(handle, "select * from t"), 3);
    EXPECT_EQ(handle.errmsg, nullptr);
    EXPECT_EQ(CountQueryRows(handle, "select * from e"), 0);
    EXPECT_EQ(CountQueryRows(handle, "select a from t where a > 1 -- a comment"), 2);
    // A failure gives 0 and leaves the library's message, also after rows were counted.
    EXPECT_EQ(CountQueryRows(handle, "select * from nope"), 0);
    ASSERT_NE(handle.errmsg, nullptr);
    EXPECT_STREQ(handle.errmsg, "no such table: nope");
    // One statement only: a text of several fails rather than counting part of it.
    EXPECT_EQ(CountQueryRows(handle, "select * from t; select * from t"), 0);
    EXPECT_NE(handle.errmsg, nullptr);
    // A success clears the slot again.
    EXPECT_EQ(CountQueryRows(handle, "select * from t"), 3);
    EXPECT_EQ(handle.errmsg, nullptr);
}

TEST(DbHandle, CountingAMillionRowsNeedsNoMemoryForTheRows) {
    common::test::CTempFolder dir;
    DbHandle handle;
    ASSERT_EQ(OpenDbHandle(handle, (dir.Path() / "big.db").string()), SQLITE_OK);
    sqlite3_exec(handle.db,
                 "create table t(a, b); with recursive n(i) as (select 1 union all select i + 1 "
                 "from n where i < 1000000) insert into t select i, 'some text' from n;",
                 nullptr, nullptr, nullptr);
    sqlite3_memory_highwater(1);
    sqlite3_int64 before = sqlite3_memory_used();
    EXPECT_EQ(CountQueryRows(handle, "select * from t"), 1000000);
    // sqlite3_get_table would hold two million strings here (tens of megabytes).
    EXPECT_LT(sqlite3_memory_highwater(0) - before, 8 << 20);
}

TEST(DbHandle, ToUtf8ConvertsPathsAndRefusesBrokenText) {
    EXPECT_EQ(ToUtf8(u"/opt/V/P/PParent.db"), "/opt/V/P/PParent.db");
    EXPECT_EQ(ToUtf8(u"审计"), "审计");
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");  // a surrogate pair
    EXPECT_EQ(ToUtf8(u""), "");
    EXPECT_EQ(ToUtf8(u"a\xD800"), std::nullopt);
    EXPECT_EQ(ToUtf8(u"\xDC00z"), std::nullopt);
}

}  // namespace
