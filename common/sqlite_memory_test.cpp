#include "common/sqlite_memory.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace common {

namespace {

// As the programs do: before anything else touches SQLite, so every test of this program, the
// database handle's included, runs on the allocator.
const bool g_bConfigured = ConfigureSqliteMemory();

// Runs sql and returns the text of the first column of its first row.
std::string Scalar(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string result;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0)) {
        result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return result;
}

// A block of SQLite's filled over its whole usable size with a byte of its own.
struct Block {
    unsigned char* p = nullptr;
    int asked = 0;
    unsigned char fill = 0;
};

Block Fill(void* p, int asked, unsigned char fill) {
    Block b{static_cast<unsigned char*>(p), asked, fill};
    if (b.p) std::memset(b.p, fill, static_cast<size_t>(sqlite3_msize(b.p)));
    return b;
}

// Empty when the block still holds its byte everywhere, else what is wrong with it.
std::string Damage(const Block& b) {
    if (!b.p) return "allocation of " + std::to_string(b.asked) + " bytes failed";
    auto usable = static_cast<int>(sqlite3_msize(b.p));
    if (usable < b.asked)
        return std::to_string(b.asked) + " bytes asked, " + std::to_string(usable) + " usable";
    for (int i = 0; i < usable; ++i) {
        if (b.p[i] != b.fill)
            return "byte " + std::to_string(i) + " of a block of " + std::to_string(b.asked) +
                   " overwritten";
    }
    return "";
}

// Sizes on both sides of the class edges and of the largest cached class, and beyond it.
const std::vector<int> kSizes = {1,    2,    15,   16,   17,   31,   32,   33,   100,  1000,
                                 1008, 1009, 1023, 1024, 1025, 1031, 1032, 1033, 4096, 70000};

TEST(SqliteMemory, TakesEffectFirstAndIsRefusedHarmlesslyOnceSqliteRuns) {
    EXPECT_TRUE(g_bConfigured);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    // Refused now that the library is initialised; the connection and new ones keep working.
    EXPECT_FALSE(ConfigureSqliteMemory());
    EXPECT_EQ(Scalar(db, "select length(printf('%.*c', 100000, 'y'))"), "100000");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &other), SQLITE_OK);
    EXPECT_EQ(Scalar(other, "select 6 * 7"), "42");
    sqlite3_close(other);
    sqlite3_close(db);
}

// Blocks of every edge size are allocated on one thread and freed on another, which then
// allocates again from what it was handed; every block must keep its bytes, and every reused
// block must be large enough for what was asked.
TEST(SqliteMemory, BlocksFreedOnAnotherThreadAreReusedThereWithoutOverlap) {
    std::vector<Block> made;
    std::thread maker([&] {
        unsigned char fill = 1;
        for (int round = 0; round < 50; ++round) {
            for (int size : kSizes) made.push_back(Fill(sqlite3_malloc(size), size, fill++));
        }
    });
    maker.join();
    std::vector<Block> kept;
    std::thread user([&] {
        // Every other block is freed here, then as many blocks are allocated with the sizes
        // in reverse order, so most land in a block of a neighbouring size.
        unsigned char fill = 200;
        for (size_t i = 0; i < made.size(); ++i) {
            if (i % 2) {
                sqlite3_free(made[i].p);
            } else {
                kept.push_back(made[i]);
            }
        }
        for (size_t i = 0; i < made.size() / 2; ++i) {
            int size = kSizes[kSizes.size() - 1 - i % kSizes.size()];
            kept.push_back(Fill(sqlite3_malloc(size), size, fill++));
        }
    });
    user.join();
    for (const Block& b : kept) ASSERT_EQ(Damage(b), "");
    // The first thread ended long ago; freeing its blocks here is as good as anywhere.
    for (const Block& b : kept) sqlite3_free(b.p);
}

// One block grown and shrunk across the class edges, on two threads in turn: what fits in the
// new size survives every step.
TEST(SqliteMemory, ReallocKeepsTheContentWhenGrowingAndShrinkingAcrossEdges) {
    const std::vector<int> steps = {10,   16,   17,  1024, 1025, 5000, 100000,
                                    1025, 1024, 500, 16,   3,    2000, 1};
    void* p = sqlite3_malloc(1);
    ASSERT_NE(p, nullptr);
    static_cast<unsigned char*>(p)[0] = 0;
    int filled = 1;  // bytes 0..filled-1 hold i % 251
    for (size_t n = 0; n < steps.size(); ++n) {
        int size = steps[n];
        auto step = [&] { p = sqlite3_realloc(p, size); };
        if (n % 2) {
            std::thread(step).join();
        } else {
            step();
        }
        ASSERT_NE(p, nullptr) << size;
        ASSERT_GE(sqlite3_msize(p), static_cast<sqlite3_uint64>(size));
        auto* bytes = static_cast<unsigned char*>(p);
        int kept = filled < size ? filled : size;
        for (int i = 0; i < kept; ++i) {
            ASSERT_EQ(bytes[i], i % 251) << "byte " << i << " after realloc to " << size;
        }
        auto usable = static_cast<int>(sqlite3_msize(p));
        for (int i = kept; i < usable; ++i) bytes[i] = static_cast<unsigned char>(i % 251);
        filled = usable;
    }
    sqlite3_free(p);
}

// The way the programs use it: one connection written by two threads at once (SQLite's
// serialized mode), rows of every size, a result grown by reallocation past the cached sizes.
TEST(SqliteMemory, TwoThreadsShareOneConnectionAndSeeEveryRowIntact) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "create table t(id integer, v text)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    auto insert = [db](int first, int count) {
        for (int n = first; n < first + count; n += 20) {
            std::string sql = "insert into t values ";
            for (int i = n; i < n + 20 && i < first + count; ++i) {
                sql += "(" + std::to_string(i) + ",'" + std::string(i % 3000, 'x') + "'),";
            }
            sql.back() = ';';
            if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return;
        }
    };
    std::thread loader(insert, 0, 6000);
    insert(6000, 6000);
    loader.join();
    long long expected = 0;
    for (int i = 0; i < 12000; ++i) expected += i % 3000;
    EXPECT_EQ(Scalar(db, "select count(*) from t"), "12000");
    EXPECT_EQ(Scalar(db,
                     "select count(*) from t where v <> substr(printf('%.*c', 3000, 'x'), 1, "
                     "id % 3000)"),
              "0");
    EXPECT_EQ(Scalar(db, "select length(group_concat(v, '')) from t"), std::to_string(expected));
    sqlite3_close(db);
}

}  // namespace

}  // namespace common
