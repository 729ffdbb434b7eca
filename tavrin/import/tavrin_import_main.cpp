// tavrin-import PACKAGE.tar: imports a package from a terminal exactly as Tavrin's Open
// command does, into its work folder beside the programs (unix_sms_log's dump unpacked alone
// first and loaded while the archiver unpacks the rest, child.db on a thread of its own beside
// Parent.db, the dumps after unix_sms_log once its first page is read), waits for the
// background load, prints how long each step took and the rows of every table of both databases,
// and keeps the work folder so that the databases can be opened with other tools. After the load it
// builds the package's text index, as Tavrin does, unless --no-index is given (the benchmark
// measures the import and the index apart).
//
// Exit status: 0 imported; 1 usage or a package that cannot be imported (nothing is left
// behind); 2 the work folder exists already (left untouched); 3 imported, but the archiver
// reported the package damaged, or a table did not load completely (each is named on standard
// output as "数据表未完整载入：TABLE" and, together, on standard error), so its data may be
// incomplete, or the text index could not be built (said on standard error).
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sqlite3.h>

#include "common/db_handle.h"
#include "common/sqlite_memory.h"
#include "platform/paths.h"
#include "tavrin/browser/browser_db.h"
#include "tavrin/browser/query_builder.h"
#include "tavrin/find/session_index.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"
#include "tavrin/workspace/sql_loader.h"

namespace {

using Clock = std::chrono::steady_clock;

// Times one step and prints "time  STEP  SECONDS s" on standard error, so the step lines stay
// apart from the import's own console messages on standard output.
template <typename F>
auto Timed(const char* step, F&& work) {
    auto start = Clock::now();
    struct Report {
        const char* step;
        Clock::time_point start;
        ~Report() {
            std::chrono::duration<double> took = Clock::now() - start;
            std::fflush(stdout);
            std::fprintf(stderr, "time  %-14s %9.3f s\n", step, took.count());
        }
    } report{step, start};
    return work();
}

// Prints "rows  DATABASE  TABLE  COUNT" for every table of the database file, in name order.
// Returns false when the database cannot be read.
bool PrintRowCounts(const char* label, const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::printf("rows  %s  cannot be opened: %s\n", label, db ? sqlite3_errmsg(db) : "");
        sqlite3_close(db);
        return false;
    }
    std::vector<std::string> tables;
    sqlite3_stmt* list = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
                           -1, &list, nullptr) == SQLITE_OK) {
        while (sqlite3_step(list) == SQLITE_ROW) {
            tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(list, 0)));
        }
    }
    sqlite3_finalize(list);
    for (const std::string& table : tables) {
        char* sql = sqlite3_mprintf("SELECT count(*) FROM \"%w\"", table.c_str());
        sqlite3_stmt* count = nullptr;
        long long rows = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &count, nullptr) == SQLITE_OK &&
            sqlite3_step(count) == SQLITE_ROW) {
            rows = sqlite3_column_int64(count, 0);
        }
        sqlite3_finalize(count);
        sqlite3_free(sql);
        std::printf("rows  %s  %s  %lld\n", label, table.c_str(), rows);
    }
    sqlite3_close(db);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    common::ConfigureSqliteMemory();  // as Tavrin does, so the steps cost what they cost there
    const bool buildIndex = !(argc == 3 && std::string(argv[1]) == "--no-index");
    const char* package = argc >= 2 ? argv[argc - 1] : "";
    if (argc != (buildIndex ? 2 : 3) || package[0] == '\0') {
        std::fprintf(stderr, "usage: %s [--no-index] PACKAGE.tar\n",
                     argc > 0 ? argv[0] : "tavrin-import");
        return 1;
    }
    std::error_code ec;
    std::string packagePath = std::filesystem::absolute(package, ec).string();
    if (ec) packagePath = package;
    const std::string programFolder = platform::ProgramFolder();
    package_import::CPackageImport import(programFolder, packagePath);
    const workspace::CWorkspacePaths& paths = import.Paths();

    if (!import.HasUsableName()) {
        std::fprintf(stderr, "tavrin-import: %s: the file name gives no usable package name\n",
                     packagePath.c_str());
        return 1;
    }
    if (!Timed("disk space", [&] { return import.CheckDiskSpace(); })) {
        std::fprintf(stderr,
                     "tavrin-import: %s cannot be read, or the free space beside %s is not "
                     "more than 1.5 times its size\n",
                     packagePath.c_str(), programFolder.c_str());
        return 1;
    }
    if (import.WorkFolderExists()) {
        std::fprintf(stderr,
                     "tavrin-import: the work folder %s exists already; it is left untouched\n",
                     paths.WorkFolder().c_str());
        return 2;
    }

    auto started = Clock::now();
    Timed("work folder", [&] { return import.CreateWorkFolder(); });
    // unix_sms_log's dump is unpacked alone first and loads while the archiver unpacks the
    // rest on the other core.
    const std::string archiver = package_import::Make7zCommand(programFolder);
    package_import::UnpackOutcome outcome =
        Timed("unpack", [&] { return import.UnpackFirstTable(archiver); });
    const bool firstReady = outcome == package_import::UnpackOutcome::kUnpacked;
    const bool unpacking = outcome != package_import::UnpackOutcome::kNotStarted &&
                           outcome != package_import::UnpackOutcome::kNoSpace &&
                           outcome != package_import::UnpackOutcome::kCancelled;
    // child.db loads on the second core as soon as the rest is unpacked, beside Parent.db:
    // the first page does not wait for it. Its file is made only after the rest was checked,
    // which removes any file the archive put where the import writes.
    DbHandle child;
    workspace::SLoadReport childReport;
    std::chrono::duration<double> childTook{};
    std::thread loader;
    if (unpacking) {
        std::printf("\n");
        import.StartUnpackRest(archiver);
        loader = std::thread([&, unpacked = import.RestUnpacked()] {
            const package_import::UnpackOutcome rest = unpacked.get();
            if (rest != package_import::UnpackOutcome::kUnpacked &&
                rest != package_import::UnpackOutcome::kDamaged)
                return;
            auto start = Clock::now();
            OpenDbHandle(child, paths.ChildDbPath());
            package_import::LoadChildDatabase(paths, child, nullptr, childReport);
            childTook = Clock::now() - start;
        });
    }
    auto loadFirstTable = [&] {
        Timed("Parent.db", [&] {
            import.LoadFirstTable();
            return 0;
        });
    };
    // What the first page costs the dialog: the row count and the first 15 rows, with the
    // dialog's own queries.
    std::chrono::duration<double> firstPage{};
    auto showFirstPage = [&] {
        DbHandle parent;
        Timed("first page", [&] {
            OpenDbHandle(parent, paths.ParentDbPath());
            int rows = CountQueryRows(parent, browser::TableCountQuery("unix_sms_log", ""));
            browser::RunPageQuery(
                parent, browser::TableFirstPageQuery("unix_sms_log", ""),
                [](void*, int, char**, char**) { return 0; }, nullptr);
            return rows;
        });
        firstPage = Clock::now() - started;
    };
    if (unpacking) {
        if (firstReady) loadFirstTable();
        outcome = Timed("unpack rest", [&] { return import.FinishUnpack(); });
    }
    if (outcome == package_import::UnpackOutcome::kNotStarted ||
        outcome == package_import::UnpackOutcome::kNotAPackage ||
        outcome == package_import::UnpackOutcome::kNoSpace ||
        outcome == package_import::UnpackOutcome::kCancelled) {
        if (loader.joinable()) loader.join();
        import.RemoveWorkFolder();
        std::printf("\n");
        std::fprintf(stderr, "tavrin-import: %s\n",
                     outcome == package_import::UnpackOutcome::kNotStarted
                         ? "the archiver could not be started"
                     : outcome == package_import::UnpackOutcome::kNoSpace
                         ? "what the archive unpacks to does not fit in the free space; "
                           "nothing was unpacked"
                     : outcome == package_import::UnpackOutcome::kCancelled
                         ? "stopped while unpacking; nothing was imported"
                         : "the file is not a readable package; nothing was imported");
        return 1;
    }
    std::printf("\n");
    // The text matrix and the flags need the rest of the package.
    Timed("conversions", [&] {
        import.ConvertTextMatrix();
        return 0;
    });
    // As in Tavrin, the first page waits only for unix_sms_log (and the end of unpacking);
    // the other dumps of Parent.db load after it.
    if (!firstReady) loadFirstTable();
    showFirstPage();

    workspace::SLoadReport laterReport;
    Timed("later dumps", [&] {
        package_import::LoadLaterDumps(paths, import.HasTabTable(), import.HasMatrixTable(),
                                       nullptr, laterReport);
        return 0;
    });
    import.NoteParentLoad(laterReport);

    Timed("child.db wait", [&] {
        loader.join();
        return 0;
    });
    import.NoteChildLoad(childReport);
    child.Close();
    std::chrono::duration<double> total = Clock::now() - started;
    std::fflush(stdout);
    std::fprintf(stderr, "time  %-14s %9.3f s\ntime  %-14s %9.3f s\ntime  %-14s %9.3f s\n",
                 "background", childTook.count(), "to first page", firstPage.count(),
                 "whole import", total.count());
    // The text index, as Tavrin builds it after the background load.
    session_index::SessionIndexControl indexControl;
    session_index::SessionIndexOutcome index;
    index.status = session_index::IndexStatus::kBuilt;
    if (buildIndex) {
        index = Timed("index", [&] {
            return session_index::BuildSessionIndex(
                session_index::IndexInputsForWorkFolder(paths.WorkFolder()), indexControl);
        });
    }

    std::printf("\n");
    PrintRowCounts("Parent.db", paths.ParentDbPath());
    PrintRowCounts("child.db", paths.ChildDbPath());
    std::printf("work folder  %s\n", paths.WorkFolder().c_str());
    std::fflush(stdout);
    if (import.LoadIncomplete()) {
        std::string names;
        for (const std::string& table : import.IncompleteTables())
            names += (names.empty() ? "" : ", ") + table;
        std::fprintf(stderr, "tavrin-import: these tables did not load completely: %s\n",
                     names.c_str());
    }
    if (outcome == package_import::UnpackOutcome::kDamaged) {
        std::fprintf(stderr,
                     "tavrin-import: the archiver reported errors: the package is damaged and "
                     "its data may be incomplete\n");
    }
    if (index.status != session_index::IndexStatus::kBuilt) {
        std::fprintf(stderr, "tavrin-import: the text index could not be built: %s\n",
                     index.strError.c_str());
    }
    return outcome == package_import::UnpackOutcome::kDamaged || import.LoadIncomplete() ||
                   index.status != session_index::IndexStatus::kBuilt
               ? 3
               : 0;
}
