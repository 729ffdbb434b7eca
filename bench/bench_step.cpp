// Runs one step of the import or the browser on existing files, so that the suite driver
// (bench/suite.py) can time it and read its peak memory as a process of its own:
//
//   bench_step import DB FILE TABLE tab|comma   the engine's .import, as the package import
//                                               runs it (fast-import settings on)
//   bench_step split DUMP ROWS DEFS             SplitSqlDump
//   bench_step double SRC DST                   DoubleEscapedQuotes
//   bench_step strip SRC DST                    StripEscapedQuotes
//   bench_step defs DB DEFS                     RunSqlFile of the table definitions
//   bench_step rows DB ROWS                     InsertRowStatements
//   bench_step rowsparsed DB ROWS               the same with SQLite parsing every statement
//   bench_step unpack PROGRAM PACKAGE           the import's work folder and archiver run
//   bench_step convert PROGRAM PACKAGE          the import's conversions (CPackageImport)
//   bench_step parent PROGRAM PACKAGE           the import's load of Parent.db
//   bench_step child PROGRAM PACKAGE            the import's split and child.db definitions
//   bench_step childrows PROGRAM PACKAGE        the import's background load of child.db
//   bench_step index PROGRAM PACKAGE            the text index of the imported package
//   bench_step firstpage DB TABLE FOLDER        count, first page query and row filling
//   bench_step deeppage DB TABLE FOLDER         the page query and filling of the last page
//
// The import steps after unpack expect the package unpacked in its work folder beside PROGRAM,
// as the import leaves it after the archiver ran.
//
// The step's own console messages go where the code under test writes them. At the end one
// line "BENCH seconds=S [key=value ...]" goes to standard error: S is the time of the step
// itself, without process start. Exit status 0 when the step ran, 1 on bad usage or when the
// step reported failure.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/db_handle.h"
#include "common/sqlite_memory.h"
#include "tavrin/browser/browser_db.h"
#include "tavrin/browser/paging.h"
#include "tavrin/browser/query_builder.h"
#include "tavrin/browser/row_fill.h"
#include "tavrin/find/session_index.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/package_import.h"
#include "tavrin/shell/dot_commands.h"
#include "tavrin/shell/shell_state.h"
#include "tavrin/workspace/sql_dump_conversion.h"
#include "tavrin/workspace/sql_loader.h"

namespace {

using Clock = std::chrono::steady_clock;

// Extra figures a step reports beside its time.
std::string g_strExtra;

void AddFigure(const char* key, long long value) {
    g_strExtra += " ";
    g_strExtra += key;
    g_strExtra += "=";
    g_strExtra += std::to_string(value);
}

int RunCommand(ShellState& state, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return shell::runDotCommand(static_cast<int>(args.size()), argv.data(), state);
}

bool EngineImport(const std::string& db, const std::string& file, const std::string& table,
                  const std::string& sep) {
    ShellState state;
    state.m_bFastImport = true;  // as the package import loads its rebuildable Parent.db
    shell::openShell(state, db.c_str());
    if (!state.m_pDb) return false;
    RunCommand(state, {"separator", sep == "tab" ? "\t" : ","});
    int rc = RunCommand(state, {"import", file, table});
    shell::closeShell(state);
    return rc == 0;
}

struct PageContext {
    browser::RowPlace place;
    std::vector<browser::CharRow> rows;
};

// What the list's character-row filler does, without the widget: build the cells and the
// record of each row and keep them.
int FillCharRow(void* context, int argc, char** argv, char**) {
    auto* page = static_cast<PageContext*>(context);
    page->rows.push_back(browser::BuildCharRow(page->place, argc, argv));
    return 0;
}

// Runs a page query into a fresh page; returns the number of rows filled, -1 on failure.
int FillPage(DbHandle& db, const std::string& sql, const std::string& folder) {
    PageContext page{{folder}, {}};
    int rc = browser::RunPageQuery(db, sql, &FillCharRow, &page);
    return rc == 0 ? static_cast<int>(page.rows.size()) : -1;
}

bool Page(bool deepest, const std::string& dbPath, const std::string& table,
          const std::string& folder, Clock::time_point& start) {
    DbHandle db;
    if (OpenDbHandle(db, dbPath) != 0) return false;
    int filled = 0;
    if (!deepest) {
        // From the query to the filled list, as the view change or the first-page button.
        start = Clock::now();
        int total = CountQueryRows(db, browser::TableCountQuery(table, ""));
        browser::PageState state = browser::StartPagingState(total);
        filled = FillPage(db, browser::TableFirstPageQuery(table, ""), folder);
        AddFigure("total", total);
        AddFigure("pages", state.nPageCount);
    } else {
        // The count was made when the view was shown; going to a page only queries it.
        int total = CountQueryRows(db, browser::TableCountQuery(table, ""));
        browser::PageState state = browser::StartPagingState(total);
        browser::PageMove move = browser::GotoPageMove(state, state.nPageCount);
        start = Clock::now();
        filled = FillPage(db, browser::TablePageQuery(table, "", move.nOffset), folder);
        AddFigure("total", total);
        AddFigure("offset", move.nOffset);
    }
    AddFigure("filled", filled);
    return filled >= 0;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: bench_step import DB FILE TABLE tab|comma | split DUMP ROWS DEFS |\n"
        "       double SRC DST | strip SRC DST | defs DB DEFS | rows|rowsparsed DB ROWS |\n"
        "       unpack|convert|parent|child|childrows|index PROGRAM PACKAGE |\n"
        "       firstpage|deeppage DB TABLE FOLDER\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    common::ConfigureSqliteMemory();  // as the programs do
    if (argc < 2) return Usage();
    const std::string step = argv[1];
    std::vector<std::string> a(argv + 2, argv + argc);
    auto need = [&](size_t n) { return a.size() == n; };

    Clock::time_point start = Clock::now();
    bool ok = false;
    if (step == "import" && need(4)) {
        ok = EngineImport(a[0], a[1], a[2], a[3]);
    } else if (step == "split" && need(3)) {
        ok = workspace::SplitSqlDump(a[0], a[1], a[2]);
    } else if (step == "double" && need(2)) {
        ok = workspace::DoubleEscapedQuotes(a[0], a[1]);
    } else if (step == "strip" && need(2)) {
        ok = workspace::StripEscapedQuotes(a[0], a[1]);
    } else if ((step == "defs" || step == "rows" || step == "rowsparsed") && need(2)) {
        DbHandle db;
        if (OpenDbHandle(db, a[0]) == 0) {
            ok = (step == "defs" ? workspace::RunSqlFile(db, a[1])
                  : step == "rows"
                      ? workspace::InsertRowStatements(db, a[1])
                      : workspace::InsertRowStatements(db, a[1], nullptr, nullptr,
                                                       workspace::ERowStatements::kParsed)) == 1;
        }
    } else if (step == "unpack" && need(2)) {
        package_import::CPackageImport import(a[0], a[1]);
        ok = import.CreateWorkFolder() && import.Unpack(package_import::Make7zCommand(a[0])) ==
                                              package_import::UnpackOutcome::kUnpacked;
    } else if ((step == "convert" || step == "parent" || step == "child" || step == "childrows") &&
               need(2)) {
        package_import::CPackageImport import(a[0], a[1]);
        ok = import.WorkFolderExists();
        if (ok && step == "convert") import.ConvertDumps();
        if (ok && step == "parent") {
            import.ConvertDumps();  // only sets the package flags when the outputs exist
            start = Clock::now();
            import.LoadParentDb();
        }
        if (ok && (step == "child" || step == "childrows")) {
            DbHandle child;
            ok = OpenDbHandle(child, import.Paths().ChildDbPath()) == 0;
            if (ok && step == "child") import.CreateChildTables(child);
            if (ok && step == "childrows") ok = import.LoadChildRows(child) == 1;
        }
    } else if (step == "index" && need(2)) {
        package_import::CPackageImport import(a[0], a[1]);
        session_index::SessionIndexControl control;
        const session_index::SessionIndexOutcome outcome = session_index::BuildSessionIndex(
            session_index::IndexInputsForWorkFolder(import.Paths().WorkFolder()), control);
        ok = outcome.status == session_index::IndexStatus::kBuilt;
        AddFigure("lines", static_cast<long long>(outcome.nLines));
    } else if ((step == "firstpage" || step == "deeppage") && need(3)) {
        ok = Page(step == "deeppage", a[0], a[1], a[2], start);
    } else {
        return Usage();
    }
    std::chrono::duration<double> took = Clock::now() - start;
    std::fflush(stdout);
    std::fprintf(stderr, "BENCH seconds=%.6f%s\n", took.count(), g_strExtra.c_str());
    return ok ? 0 : 1;
}
