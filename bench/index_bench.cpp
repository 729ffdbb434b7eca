// Times the session text index against the import of the same package, each in a process of
// its own so that the peak memory of one does not hide in the other's (bench/index.sh runs
// them under /usr/bin/time):
//
//   index_bench --import PACKAGE.tar BUILD_PROGRAM_FOLDER WORK_ROOT
//       imports PACKAGE.tar with the real import steps (child rows on this thread, as the
//       background load would), keeps the work folder and prints "import WALL CPU UNPACK"
//       (seconds) and "work WORKFOLDER" on standard output;
//   index_bench --index-only WORKFOLDER [IMPORT_WALL IMPORT_CPU UNPACK]
//       builds the package's index, compares its time with the import's (when given) and its
//       size with the package's unpacked text, then times searches (first page alone, and with
//       every hit counted);
//   index_bench --search-only WORKFOLDER [QUERY...]
//       times searches of an index built before (the benchmark's queries when none given);
//   index_bench --build-only WORKFOLDER
//       builds the index and prints its figures without searching (to profile the build).
//
// WORK_ROOT becomes a program folder of its own (a link to the archiver, table.sql); the
// package's work folder is made in it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/db_handle.h"
#include "platform/child_cpu_times.h"
#include "platform/cpu_times.h"
#include "tavrin/find/session_index.h"
#include "tavrin/find/session_search.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double CpuSeconds() {
    platform::CpuTimes times;
    platform::ReadCpuTimes(&times);
    return times.userSeconds + times.systemSeconds;
}

// Bytes of the package's text as unpacked: every regular file of the unpacked tree except the
// binary recordings (".rec").
std::uintmax_t UnpackedTextBytes(const std::string& work) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(work) / "var")) {
        if (entry.is_regular_file() && entry.path().extension() != ".rec")
            total += entry.file_size();
    }
    return total;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int TimeSearches(const std::string& work, std::vector<std::string> queries = {});

// Builds the index of the imported package in work, prints its time beside the import's
// (when importSeconds is not 0) and its size beside the package's text, then times searches.
int IndexAndSearch(const std::string& work, double importSeconds, double importCpu, double unpack,
                   bool search = true) {
    Clock::time_point start;
    session_index::SessionIndexControl control;
    double cpuBefore = CpuSeconds();
    start = Clock::now();
    session_index::SessionIndexOutcome outcome =
        session_index::BuildSessionIndex(session_index::IndexInputsForWorkFolder(work), control);
    double indexSeconds = Seconds(start);
    double indexCpu = CpuSeconds() - cpuBefore;
    if (outcome.status != session_index::IndexStatus::kBuilt) {
        std::fprintf(stderr, "index failed: %s\n", outcome.strError.c_str());
        return 1;
    }
    std::uintmax_t indexBytes = fs::file_size(session_index::IndexPathForWorkFolder(work));
    std::uintmax_t textBytes = UnpackedTextBytes(work);

    std::printf("\n== Session text index ==\n");
    std::printf("lines and rows indexed     %llu (%llu index entries)\n",
                static_cast<unsigned long long>(outcome.nLines),
                static_cast<unsigned long long>(outcome.nEntries));
    if (importSeconds > 0) {
        std::printf(
            "import (whole)             %8.2f s  (CPU %.2f s with 7-Zip; unpacking %.2f s)\n",
            importSeconds, importCpu, unpack);
    }
    std::printf("index build                %8.2f s  (CPU %.2f s: one core)\n", indexSeconds,
                indexCpu);
    if (importSeconds > 0) {
        std::printf("index / import time        %8.2f    target <= 0.50  %s\n",
                    indexSeconds / importSeconds,
                    indexSeconds <= 0.5 * importSeconds ? "pass" : "MISS");
        std::printf("index / import CPU         %8.2f\n", indexCpu / importCpu);
    }
    std::printf("unpacked text              %8.1f MB (without the .rec recordings)\n",
                textBytes / 1e6);
    std::printf("index file                 %8.1f MB\n", indexBytes / 1e6);
    std::printf("index / unpacked text size %8.2f    target <= 1.00  %s\n",
                double(indexBytes) / double(textBytes), indexBytes <= textBytes ? "pass" : "MISS");

    return search ? TimeSearches(work) : 0;
}

// Times searches of the package's index (queries, or the benchmark's own), each query's first
// page alone and with every hit counted (the median of three runs each, CPU time beside the
// wall time).
int TimeSearches(const std::string& work, std::vector<std::string> queries) {
    Clock::time_point start;
    if (queries.empty())
        queries = {"passwd", "cat /etc/hosts", "王五", "数据库服务器", "ab", "no-such-text"};
    std::printf("\n%-16s %10s %8s %10s %12s %8s %10s\n", "query", "first page", "CPU", "hits",
                "all counted", "CPU", "total");
    bool firstPagePass = true;
    for (const std::string& query : queries) {
        std::vector<double> first, firstCpu, all, allCpu;
        std::size_t hits = 0;
        std::uint64_t total = 0;
        for (int run = 0; run < 3; ++run) {
            session_index::SessionSearchOptions page;
            page.bCountAll = false;
            double cpu = CpuSeconds();
            start = Clock::now();
            session_index::SessionSearchResult r =
                session_index::SearchSessions({work}, query, page);
            first.push_back(Seconds(start) * 1000);
            firstCpu.push_back((CpuSeconds() - cpu) * 1000);
            hits = r.hits.size();
            cpu = CpuSeconds();
            start = Clock::now();
            total = session_index::SearchSessions({work}, query).nTotal;
            all.push_back(Seconds(start) * 1000);
            allCpu.push_back((CpuSeconds() - cpu) * 1000);
        }
        double firstMs = Median(first);
        if (firstMs >= 100) firstPagePass = false;
        std::printf("%-16s %8.1fms %6.0fms %10zu %10.1fms %6.0fms %10llu\n", query.c_str(), firstMs,
                    Median(firstCpu), hits, Median(all), Median(allCpu),
                    static_cast<unsigned long long>(total));
    }
    std::printf("first page of hits < 100 ms for every query: %s\n",
                firstPagePass ? "pass" : "MISS");

    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--search-only")
        return TimeSearches(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    if (argc == 3 && std::string(argv[1]) == "--build-only")
        return IndexAndSearch(argv[2], 0, 0, 0, false);
    if ((argc == 3 || argc == 6) && std::string(argv[1]) == "--index-only") {
        return argc == 3 ? IndexAndSearch(argv[2], 0, 0, 0)
                         : IndexAndSearch(argv[2], std::atof(argv[3]), std::atof(argv[4]),
                                          std::atof(argv[5]));
    }
    if (argc != 5 || std::string(argv[1]) != "--import") {
        std::fprintf(stderr,
                     "usage: index_bench --import PACKAGE.tar BUILD_PROGRAM_FOLDER WORK_ROOT\n"
                     "       index_bench --index-only WORKFOLDER [IMPORT_WALL IMPORT_CPU "
                     "UNPACK]\n");
        return 2;
    }
    const std::string package = argv[2];
    const fs::path build = argv[3];
    const std::string root = argv[4];

    fs::create_directories(fs::path(root) / "processid");
    if (!fs::exists(fs::path(root) / "7z"))
        fs::create_symlink(fs::read_symlink(build / "7z"), fs::path(root) / "7z");
    fs::copy_file(build / "table.sql", fs::path(root) / "table.sql",
                  fs::copy_options::overwrite_existing);

    package_import::CPackageImport import(root, package);
    if (import.WorkFolderExists()) fs::remove_all(import.Paths().WorkFolder());
    std::fflush(stdout);
    double importCpuBefore = CpuSeconds() + platform::ChildrenCpuSeconds();
    auto start = Clock::now();
    import.CreateWorkFolder();
    if (import.Unpack(package_import::Make7zCommand(root)) !=
        package_import::UnpackOutcome::kUnpacked) {
        std::fprintf(stderr, "unpacking failed\n");
        return 1;
    }
    double unpack = Seconds(start);
    import.ConvertDumps();
    import.LoadParentDb();
    DbHandle child;
    OpenDbHandle(child, import.Paths().ChildDbPath());
    import.CreateChildTables(child);
    import.LoadChildRows(child);
    child.Close();
    double importSeconds = Seconds(start);
    double importCpu = CpuSeconds() + platform::ChildrenCpuSeconds() - importCpuBefore;

    std::printf("import %.3f %.3f %.3f\nwork %s\n", importSeconds, importCpu, unpack,
                import.Paths().WorkFolder().c_str());
    return 0;
}
