// What glibc's allocator tells about the block cache: the bytes it holds, counted by malloc.
#include "common/sqlite_memory.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sqlite3.h>

#include <thread>
#include <vector>

namespace common {

namespace {

// Bytes malloc has handed out in all its arenas.
size_t MallocInUse() {
    return mallinfo2().uordblks;
}

// A thread's cached blocks go back to malloc when it ends, also blocks freed by its
// thread-local objects that are destroyed after the cache let go; and the cache of a thread
// never holds much more than its limit, however much it frees.
TEST(SqliteMemory, AThreadsCachedBlocksGoBackWhenItEndsAndStayUnderTheLimit) {
    if (!kSqliteBlockCache) GTEST_SKIP() << "this build leaves SQLite on malloc";
    struct LateFrees {
        std::vector<void*> blocks;
        ~LateFrees() {
            for (void* p : blocks) sqlite3_free(p);
        }
    };
    const size_t before = MallocInUse();
    size_t cached = 0;
    std::thread worker([&] {
        // Constructed before the thread's first cached free, so destroyed after the cache.
        thread_local LateFrees late;
        for (int i = 0; i < 2000; ++i) late.blocks.push_back(sqlite3_malloc(512));
        const size_t withLate = MallocInUse();
        // Three times 8 MiB of small blocks live at once, then freed, against a limit of
        // 4 MiB.
        std::vector<void*> blocks;
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 32768; ++i) blocks.push_back(sqlite3_malloc(256));
            for (void* p : blocks) sqlite3_free(p);
            blocks.clear();
        }
        cached = MallocInUse() - withLate;
    });
    worker.join();
    EXPECT_GT(cached, size_t{3} << 20);  // the cache holds blocks while the thread runs
    EXPECT_LT(cached, size_t{5} << 20);
    // glibc keeps a few freed chunks of its own per thread; 1 MiB of late frees or 4 MiB of
    // cache would show far above that.
    const size_t after = MallocInUse();
    EXPECT_LT(after, before + (size_t{256} << 10)) << "before " << before << ", after " << after;
}

}  // namespace

}  // namespace common
