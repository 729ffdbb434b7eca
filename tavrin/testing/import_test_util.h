// Helpers shared by the import tests: a private temporary folder per test, small files, and
// tar archives made with the system's tar.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"
#include "platform/spawn.h"

namespace package_import::test {

using common::test::CTempFolder;

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Packs the entries (paths relative to folder) into archive with the system's tar.
inline bool MakeTar(const std::string& archive, const std::string& folder,
                    const std::vector<std::string>& entries, bool append = false) {
    std::vector<std::string> argv = {"tar", append ? "-rf" : "-cf", archive, "-C", folder};
    argv.insert(argv.end(), entries.begin(), entries.end());
    auto r = platform::SpawnAndWait("/usr/bin/tar", argv);
    return r.started && r.exitStatus == 0;
}

}  // namespace package_import::test

namespace package_import::test {

// A program folder of a test's own: the archiver link and table.sql, as the build lays them
// out, so imports never touch the build's program folder.
// Where there is no such archiver to link (the Windows build, tested under Wine: no 7-Zip for
// Windows there), the calling test or fixture set-up is skipped.
inline void LayOutProgramFolder(const std::string& folder) {
#ifdef _WIN32
    (void)folder;
    GTEST_SKIP() << "needs 7-Zip for Windows, which is not installed here";
#endif
    namespace fs = std::filesystem;
    fs::create_directories(folder + "/processid");
    fs::path build(TAVRIN_TEST_PROGRAM_DIR);
    fs::create_symlink(fs::read_symlink(build / "7z"), folder + "/7z");
    fs::copy_file(std::string(TAVRIN_TEST_SOURCE_DIR) + "/tavrin/browser/table.sql",
                  folder + "/table.sql");
}

// A name no other test run uses at the same time, e.g. for packages unpacked into the
// build's program folder.
inline std::string UniqueName() {
    std::random_device rd;
    return "t" + std::to_string(rd()) + std::to_string(rd() % 1000);
}

// One package written by scripts/make_sample_package.py, with the row counts it promises.
struct SamplePackage {
    std::string strTar;                       // path of the .tar
    std::string strName;                      // package name
    std::map<std::string, long long> parent;  // expected rows per Parent.db table
    std::map<std::string, long long> child;   // expected rows per child.db table
};

// Runs the generator into folder with the extra options; fails the test when it fails.
inline SamplePackage MakeSamplePackage(const std::string& folder,
                                       std::vector<std::string> options = {}) {
    std::vector<std::string> argv = {
        "python3", std::string(TAVRIN_TEST_SOURCE_DIR) + "/scripts/make_sample_package.py", "--out",
        folder};
    argv.insert(argv.end(), options.begin(), options.end());
    // Its printed path is not read: other threads of a test may print meanwhile. The output
    // folder holds this one package.
    testing::internal::CaptureStdout();
    auto r = platform::SpawnAndWait("/usr/bin/python3", argv);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(r.started && r.exitStatus == 0) << "generator failed";
    SamplePackage package;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".tar") package.strTar = entry.path().string();
    }
    std::string file = std::filesystem::path(package.strTar).filename().string();
    package.strName = file.size() > 4 ? file.substr(0, file.size() - 4) : file;
    std::ifstream counts(folder + "/" + package.strName + ".counts");
    std::string db, table;
    long long rows = 0;
    while (counts >> db >> table >> rows)
        (db == "parent" ? package.parent : package.child)[table] = rows;
    EXPECT_FALSE(package.parent.empty()) << "no counts from the generator";
    return package;
}

}  // namespace package_import::test

#include <sqlite3.h>

namespace package_import::test {

// Rows of every table of the database file, by table name; empty when it cannot be read.
inline std::map<std::string, long long> TableCounts(const std::string& path) {
    std::map<std::string, long long> counts;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        std::vector<std::string> tables;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table'", -1, &st,
                           nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        for (const std::string& t : tables) {
            std::string sql = "SELECT count(*) FROM \"" + t + "\"";
            sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
            if (st && sqlite3_step(st) == SQLITE_ROW) counts[t] = sqlite3_column_int64(st, 0);
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    return counts;
}

// Every row of every table as text lines "table|v1|v2|...", tables in name order and rows in
// rowid order, for comparing two databases' contents.
inline std::vector<std::string> DatabaseContent(const std::string& path) {
    std::vector<std::string> lines;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        std::vector<std::string> tables;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name",
                           -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        for (const std::string& t : tables) {
            std::string sql = "SELECT * FROM \"" + t + "\" ORDER BY rowid";
            sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
            while (st && sqlite3_step(st) == SQLITE_ROW) {
                std::string line = t;
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const unsigned char* v = sqlite3_column_text(st, i);
                    line += "|";
                    line += v ? reinterpret_cast<const char*>(v) : "<null>";
                }
                lines.push_back(line);
            }
            sqlite3_finalize(st);
        }
    }
    sqlite3_close(db);
    return lines;
}

}  // namespace package_import::test
