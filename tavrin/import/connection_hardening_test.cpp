// Every connection the programs open on a package database is hardened: the handle's own, and
// any other opened in the process after it (counts, exports, the shell engine's).
#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "common/db_handle.h"
#include "tavrin/testing/import_test_util.h"

namespace package_import {

namespace {

using package_import::test::CTempFolder;

int Setting(sqlite3* db, int option) {
    int value = -1;
    sqlite3_db_config(db, option, -1, &value);
    return value;
}

// Runs sql; returns SQLite's message, empty when it succeeded.
std::string Exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    sqlite3_exec(db, sql, nullptr, nullptr, &message);
    std::string text = message ? message : "";
    sqlite3_free(message);
    return text;
}

TEST(ConnectionHardening, HandlesAndLaterConnectionsAreDefensive) {
    CTempFolder folder;
    DbHandle handle;
    ASSERT_EQ(OpenDbHandle(handle, folder / "p.db"), 0);
    ASSERT_EQ(Exec(handle.db, "CREATE TABLE t(a); INSERT INTO t VALUES (1);"), "");

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2((folder / "p.db").c_str(), &other, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    for (sqlite3* db : {handle.db, other}) {
        EXPECT_EQ(Setting(db, SQLITE_DBCONFIG_DEFENSIVE), 1);
        EXPECT_EQ(Setting(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER), 0);
        // The schema cannot be rewritten by hand, which is how SQL corrupts a file on purpose.
        EXPECT_NE(Exec(db, "PRAGMA writable_schema = ON; DELETE FROM sqlite_master;"), "");
        // A tokenizer pointer cannot be planted.
        EXPECT_NE(Exec(db, "SELECT fts3_tokenizer('planted', X'0102030405060708');"), "");
    }
    sqlite3_close(other);
    EXPECT_EQ(package_import::test::TableCounts(folder / "p.db")["t"], 1);
}

// A file locked for a moment by another connection (as when a write-ahead log is opened,
// folded in or left) is waited for, a bounded time, instead of failing the read at once.
TEST(ConnectionHardening, AMomentaryLockIsWaitedForBoundedly) {
    CTempFolder folder;
    DbHandle writer;
    ASSERT_EQ(OpenDbHandle(writer, folder / "p.db"), 0);
    ASSERT_EQ(Exec(writer.db, "CREATE TABLE t(a); INSERT INTO t VALUES (1);"), "");
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2((folder / "p.db").c_str(), &reader, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);

    ASSERT_EQ(Exec(writer.db, "BEGIN EXCLUSIVE"), "");
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Exec(writer.db, "COMMIT");
    });
    EXPECT_EQ(Exec(reader, "SELECT count(*) FROM t"), "");
    release.join();

    // A lock that is never let go fails the read after the wait, not never.
    ASSERT_EQ(Exec(writer.db, "BEGIN EXCLUSIVE"), "");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exec(reader, "SELECT count(*) FROM t"), "database is locked");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    Exec(writer.db, "COMMIT");
    sqlite3_close(reader);
}

}  // namespace

}  // namespace package_import
