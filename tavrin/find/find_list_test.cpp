// The window's view of a search without a window: the cell text cut around a match and the
// runner that keeps one search at a time.
#include "tavrin/find/find_list.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "tavrin/find/session_search_runner.h"

namespace session_index {

namespace {

SessionHit Hit(std::string text, std::size_t offset, std::size_t length) {
    SessionHit hit;
    hit.strText = std::move(text);
    hit.nMatchOffset = offset;
    hit.nMatchLength = length;
    return hit;
}

std::string Marked(const SHitExcerpt& e) {
    return e.strText.substr(e.nMarkOffset, e.nMarkLength);
}

}  // namespace

TEST(FindList, ExcerptKeepsTheMatchInsideAShortCellOneLineHigh) {
    // A short line stays whole; tabs (joined table columns) read as blanks.
    SHitExcerpt e = ExcerptAroundMatch(Hit("root\tsudo passwd root", 10, 6));
    EXPECT_EQ(e.strText, "root sudo passwd root");
    EXPECT_EQ(Marked(e), "passwd");

    // A match deep in a long line: cut on both sides, the match whole and marked.
    const std::string line = std::string(300000, 'z') + "NEEDLE-IN-LONG" + std::string(5000, 'y');
    e = ExcerptAroundMatch(Hit(line, 300000, 14), 10, 40);
    EXPECT_EQ(e.strText, "\xE2\x80\xA6zzzzzzzzzzNEEDLE-IN-LONGyyyyyyyyyyyyyyyy\xE2\x80\xA6");
    EXPECT_EQ(Marked(e), "NEEDLE-IN-LONG");

    // Cuts fall between UTF-8 characters, never inside one.
    std::string chinese;
    for (int i = 0; i < 50; ++i) chinese += "审计";
    const std::size_t at = chinese.size();
    chinese += "财务系统";
    for (int i = 0; i < 50; ++i) chinese += "日志";
    e = ExcerptAroundMatch(Hit(chinese, at, 12), 10, 40);
    EXPECT_EQ(Marked(e), "财务系统");
    const std::string body = e.strText.substr(3, e.strText.size() - 6);  // without the two "…"
    EXPECT_EQ(body.size() % 3, 0u) << e.strText;
    EXPECT_EQ(e.strText.substr(0, 3), "\xE2\x80\xA6");

    // A match longer than the cell is cut to it; offsets past the text stay inside it.
    e = ExcerptAroundMatch(Hit(std::string(100, 'a'), 0, 100), 10, 30);
    EXPECT_EQ(Marked(e), std::string(30, 'a'));
    e = ExcerptAroundMatch(Hit("short", 50, 5));
    EXPECT_LE(e.nMarkOffset + e.nMarkLength, e.strText.size());
}

TEST(FindList, RunnerDeliversOnlyTheLastSearchAndStopsSilently) {
    CSessionSearchRunner runner;
    std::mutex mutex;
    std::vector<std::uint64_t> delivered;
    const auto record = [&](std::uint64_t n, SessionSearchResult) {
        std::lock_guard<std::mutex> lock(mutex);
        delivered.push_back(n);
    };
    EXPECT_EQ(runner.Current(), 0u);
    // Folders without an index answer at once, as packages not built yet.
    EXPECT_EQ(runner.Start({"/nonexistent/a"}, "x", {}, record), 1u);
    EXPECT_EQ(runner.Start({"/nonexistent/b"}, "x", {}, record), 2u);
    runner.Stop();  // waits: whatever was delivered is in
    {
        std::lock_guard<std::mutex> lock(mutex);
        // The first may have ended before the second replaced it; nothing else arrives.
        for (std::uint64_t n : delivered) EXPECT_TRUE(n == 1 || n == 2);
        EXPECT_LE(delivered.size(), 2u);
    }
    std::atomic<int> calls{0};
    runner.Start({}, "x", {}, [&](std::uint64_t n, SessionSearchResult r) {
        EXPECT_EQ(n, 3u);
        EXPECT_TRUE(r.hits.empty());
        ++calls;
    });
    for (int i = 0; i < 500 && calls == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(calls.load(), 1);
}

}  // namespace session_index
