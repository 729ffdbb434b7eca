// Test support for the session browser: unique temporary folders and real Parent.db files
// made with the table script.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/testing/temp_folder.h"
#include "tavrin/shell/dot_commands.h"
#include "tavrin/shell/shell_state.h"

namespace browser::test {

using TempFolder = common::test::CTempFolder;

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Path of the table script: the source tree's, built in.
inline std::string TableScriptPath() {
#ifdef BROWSER_TABLE_SQL
    return BROWSER_TABLE_SQL;
#else
    const char* src = std::getenv("TAVRIN_SOURCE_DIR");
    return src ? std::string(src) + "/tavrin/browser/table.sql" : std::string("table.sql");
#endif
}

// Creates a Parent.db at path the way the import does, by the shell engine's ".read" of the
// table script; returns an open connection to it or null. withTabTable false drops
// vsms_xapp_tab afterwards, as in a package without application records.
inline sqlite3* CreateParentDb(const std::string& path, bool withTabTable = true) {
    ShellState state;
    shell::openShell(state, path.c_str());
    std::string script = TableScriptPath();
    char word[] = "read";
    char* argv[] = {word, script.data()};
    int rc = shell::runDotCommand(2, argv, state);
    shell::closeShell(state);
    if (rc != 0) return nullptr;
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    if (!withTabTable) sqlite3_exec(db, "DROP TABLE vsms_xapp_tab", nullptr, nullptr, nullptr);
    return db;
}

inline bool Exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Rows of a query as texts ("" for NULL), each row's fields joined by '|'.
inline std::vector<std::string> Rows(sqlite3* db, const std::string& sql) {
    std::vector<std::string> rows;
    auto cb = [](void* p, int argc, char** argv, char**) -> int {
        std::string row;
        for (int i = 0; i < argc; ++i) {
            if (i) row += '|';
            row += argv[i] ? argv[i] : "";
        }
        static_cast<std::vector<std::string>*>(p)->push_back(row);
        return 0;
    };
    sqlite3_exec(db, sql.c_str(), cb, &rows, nullptr);
    return rows;
}

}  // namespace browser::test
