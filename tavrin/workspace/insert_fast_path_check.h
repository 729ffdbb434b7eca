// Test support shared by the row-statement tests and the import-lines fuzzer: everything a
// database holds, written out so that two loads can be compared byte for byte.
#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace workspace::test {

// The schema of db (names and SQL, not where the tables lie in the file) and every table of it
// (sqlite_sequence included), in name order, each row
// in scan order with its rowid where it has one, each value as its storage class and exact
// bytes (a real as its bit pattern, so -0.0 and the last bit of a rounding count).
inline std::string DatabaseContent(sqlite3* db) {
    std::string out;
    std::vector<std::string> tables;
    sqlite3_stmt* list = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT name, sql FROM sqlite_master WHERE type IN ('table', 'index') "
                       "ORDER BY name",
                       -1, &list, nullptr);
    while (list && sqlite3_step(list) == SQLITE_ROW) {
        const char* name = reinterpret_cast<const char*>(sqlite3_column_text(list, 0));
        const char* sql = reinterpret_cast<const char*>(sqlite3_column_text(list, 1));
        out += std::string("schema ") + name + " " + (sql ? sql : "") + "\n";
        if (sql && std::strncmp(sql, "CREATE TABLE", 12) == 0) tables.emplace_back(name);
    }
    sqlite3_finalize(list);
    for (const std::string& table : tables) {
        out += "table " + table + "\n";
        sqlite3_stmt* rows = nullptr;
        char* sql = sqlite3_mprintf("SELECT rowid, * FROM \"%w\"", table.c_str());
        if (sqlite3_prepare_v2(db, sql, -1, &rows, nullptr) != SQLITE_OK) {
            sqlite3_finalize(rows);
            rows = nullptr;
            sqlite3_free(sql);
            sql = sqlite3_mprintf("SELECT * FROM \"%w\"", table.c_str());  // WITHOUT ROWID
            sqlite3_prepare_v2(db, sql, -1, &rows, nullptr);
        }
        sqlite3_free(sql);
        while (rows && sqlite3_step(rows) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(rows); ++i) {
                char head[64];
                switch (sqlite3_column_type(rows, i)) {
                    case SQLITE_NULL:
                        out += "N";
                        break;
                    case SQLITE_INTEGER:
                        std::snprintf(head, sizeof head, "I%lld",
                                      static_cast<long long>(sqlite3_column_int64(rows, i)));
                        out += head;
                        break;
                    case SQLITE_FLOAT: {
                        double d = sqlite3_column_double(rows, i);
                        unsigned long long bits = 0;
                        std::memcpy(&bits, &d, sizeof bits);
                        std::snprintf(head, sizeof head, "R%016llx", bits);
                        out += head;
                        break;
                    }
                    default: {
                        const bool blob = sqlite3_column_type(rows, i) == SQLITE_BLOB;
                        const void* bytes = sqlite3_column_blob(rows, i);
                        const int n = sqlite3_column_bytes(rows, i);
                        std::snprintf(head, sizeof head, "%c%d:", blob ? 'B' : 'T', n);
                        out += head;
                        if (n > 0) out.append(static_cast<const char*>(bytes), n);
                    }
                }
                out += '|';
            }
            out += '\n';
        }
        sqlite3_finalize(rows);
    }
    return out;
}

}  // namespace workspace::test
