// Times the SQL dump conversion and the row-statement load on a generated MySQL dump.
//
//   workspace_bench [--mb N] [--runs R] [--dir FOLDER]
//
// Generates (fixed seed) a dump of about N MB (default 200) in FOLDER (default: a new folder
// under the system's temporary folder, removed at the end), then reports medians of R runs
// (default 3) with min and max of:
//   - SplitSqlDump on the dump, beside `cat DUMP > /dev/null` and `cat DUMP > FILE`;
//   - DoubleEscapedQuotes on the same dump (a plain byte rewrite of every line);
//   - InsertRowStatements of the row half into a fresh child.db, beside
//     `sqlite3 DB` fed "BEGIN;", the same file and "COMMIT;".
// Targets: conversions >= 1 GB/s and >= 0.5 of cat's rate; rows <= 0.75 of sqlite3's time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/db_handle.h"
#include "common/testing/temp_folder.h"
#include "platform/child_cpu_times.h"
#include "platform/cpu_times.h"
#include "platform/file_io.h"
#include "tavrin/workspace/sql_dump_conversion.h"
#include "tavrin/workspace/sql_loader.h"

namespace {

// Wall time and CPU time (this process and the commands it waited for, user plus kernel) of
// one measurement: on a machine shared with other work the CPU time is the fairer figure.
struct Stats {
    double median, min, max;  // wall seconds
    double cpu;               // median CPU seconds
};

double CpuNow() {
    platform::CpuTimes self;
    platform::ReadCpuTimes(&self);
    return self.userSeconds + self.systemSeconds + platform::ChildrenCpuSeconds();
}

Stats Measure(int runs, const std::function<void()>& prepare, const std::function<void()>& run) {
    std::vector<double> times, cpu;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare();
        double cpuStart = CpuNow();
        auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(CpuNow() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    return {times[times.size() / 2], times.front(), times.back(), cpu[cpu.size() / 2]};
}

// A dump as mysqldump writes it: comments and SET lines, per-table DROP/CREATE with
// AUTO_INCREMENT, LOCK TABLES, and extended INSERT lines of about 1 MB holding many rows
// with GBK text and backslash escapes.
long long GenerateDump(const std::string& path, long long targetBytes) {
    platform::CFileWriter out;
    if (!out.Create(path)) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(1);
    }
    std::mt19937 rng(20161001);
    const char* words[] = {"ls -al", "cd /var/log",     "\xC9\xF3\xBC\xC6",    "it\\'s",
                           "a\\\\b", "echo \\\"hi\\\"", "tail -f messages\\n", "\xC8\xD5\xD6\xBE"};
    out.Write(std::string("-- MySQL dump 10.13\n/*!40101 SET NAMES gbk */;\n\n"));
    long long written = 0, rows = 0;
    int table = 0;
    while (written < targetBytes) {
        std::string name = "sub_" + std::to_string(1000 + table++);
        std::string head = "DROP TABLE IF EXISTS `" + name + "`;\nCREATE TABLE `" + name +
                           "` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n  `t` int(11) DEFAULT "
                           "NULL,\n  `cmd` varchar(255) DEFAULT NULL,\n  PRIMARY KEY (`id`)\n) "
                           "ENGINE=MyISAM AUTO_INCREMENT=9 DEFAULT CHARSET=gbk;\nLOCK TABLES `" +
                           name + "` WRITE;\n";
        out.Write(head);
        written += static_cast<long long>(head.size());
        for (int line = 0; line < 8 && written < targetBytes; ++line) {
            std::string insert = "INSERT INTO `" + name + "` VALUES ";
            while (insert.size() < (1 << 20)) {
                ++rows;
                insert += "(" + std::to_string(rows) + "," + std::to_string(rng() % 100000) + ",'";
                insert += words[rng() % 8];
                insert += " ";
                insert += words[rng() % 8];
                insert += "'),";
            }
            insert.back() = ';';
            insert += "\n";
            out.Write(insert);
            written += static_cast<long long>(insert.size());
        }
        out.Write(std::string("UNLOCK TABLES;\n"));
    }
    out.Close();
    return rows;
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

void Print(const char* what, const Stats& s, double mb, double items, const char* unit) {
    std::printf("%-42s %7.3f s (min %.3f, max %.3f) cpu %7.3f s %7.0f MB/s", what, s.median, s.min,
                s.max, s.cpu, mb / s.median);
    if (items > 0) std::printf("  %10.0f %s/s", items / s.median, unit);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    long long mb = 200;
    int runs = 3;
    std::string dir;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--mb") mb = std::atoll(argv[i + 1]);
        if (a == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (a == "--dir") dir = argv[i + 1];
    }
    std::optional<common::test::CTempFolder> own;
    if (dir.empty()) dir = own.emplace("workspace-bench-").Str();
    std::filesystem::create_directories(dir);
    const std::string dump = dir + "/sub_table_sms.sql";
    const std::string rowsPath = dir + "/mysql.sql";
    const std::string defsPath = dir + "/mysql1.sql";

    std::printf("generating %lld MB dump in %s\n", mb, dir.c_str());
    long long rows = GenerateDump(dump, mb << 20);
    double dumpMb = static_cast<double>(std::filesystem::file_size(dump)) / (1 << 20);
    std::printf("dump: %.1f MB, %lld rows; %d runs each, medians\n\n", dumpMb, rows, runs);
    Shell("cat " + Quote(dump) + " > /dev/null");  // into the cache

    Stats catNull = Measure(runs, nullptr, [&] { Shell("cat " + Quote(dump) + " > /dev/null"); });
    Print("cat DUMP > /dev/null", catNull, dumpMb, 0, "");
    Stats catFile =
        Measure(runs, nullptr, [&] { Shell("cat " + Quote(dump) + " > " + Quote(dir + "/copy")); });
    Print("cat DUMP > FILE", catFile, dumpMb, 0, "");
    std::filesystem::remove(dir + "/copy");

    // Standard output would be flooded by nothing here: the generated dump has no failures.
    Stats split =
        Measure(runs, nullptr, [&] { workspace::SplitSqlDump(dump, rowsPath, defsPath); });
    Print("SplitSqlDump", split, dumpMb, static_cast<double>(rows), "rows");
    Stats doubled =
        Measure(runs, nullptr, [&] { workspace::DoubleEscapedQuotes(dump, dir + "/double.bak"); });
    Print("DoubleEscapedQuotes", doubled, dumpMb, 0, "");
    std::filesystem::remove(dir + "/double.bak");

    double rowsMb = static_cast<double>(std::filesystem::file_size(rowsPath)) / (1 << 20);
    const std::string db = dir + "/Pchild.db";
    auto freshDb = [&] {
        std::filesystem::remove(db);
        std::filesystem::remove(db + "-journal");
    };
    Stats cli = Measure(
        runs,
        [&] {
            freshDb();
            Shell("sqlite3 " + Quote(db) + " < " + Quote(defsPath));
        },
        [&] {
            Shell("(echo 'BEGIN;'; cat " + Quote(rowsPath) + "; echo 'COMMIT;') | sqlite3 " +
                  Quote(db));
        });
    Print("sqlite3 DB < mysql.sql (one transaction)", cli, rowsMb, static_cast<double>(rows),
          "rows");
    DbHandle child;
    Stats load = Measure(
        runs,
        [&] {
            child.Close();
            freshDb();
            std::fflush(stdout);
            OpenDbHandle(child, db);
            workspace::RunSqlFile(child, defsPath);
        },
        [&] { workspace::InsertRowStatements(child, rowsPath); });
    child.Close();
    Print("InsertRowStatements", load, rowsMb, static_cast<double>(rows), "rows");

    std::printf("\ntargets (wall / cpu):\n");
    auto verdict = [](bool ok) { return ok ? "pass" : "miss"; };
    double splitRate = dumpMb / split.median, catRate = dumpMb / catNull.median;
    double splitCpuRate = dumpMb / split.cpu, catCpuRate = dumpMb / catNull.cpu;
    std::printf("  SplitSqlDump >= 1024 MB/s:              %6.0f %s / %6.0f %s\n", splitRate,
                verdict(splitRate >= 1024), splitCpuRate, verdict(splitCpuRate >= 1024));
    std::printf("  SplitSqlDump >= 0.5 of cat's rate:      %6.2f %s / %6.2f %s\n",
                splitRate / catRate, verdict(splitRate >= 0.5 * catRate), splitCpuRate / catCpuRate,
                verdict(splitCpuRate >= 0.5 * catCpuRate));
    std::printf("  ... of the rate of cat DUMP > FILE:     %6.2f %s\n",
                splitRate / (dumpMb / catFile.median),
                verdict(splitRate >= 0.5 * dumpMb / catFile.median));
    std::printf("  InsertRowStatements <= 0.75 of sqlite3: %6.2f %s / %6.2f %s\n",
                load.median / cli.median, verdict(load.median <= 0.75 * cli.median),
                load.cpu / cli.cpu, verdict(load.cpu <= 0.75 * cli.cpu));
    return 0;
}
