// Commands that reach further services of the library: online backup, extensions, test
// controls, version and file-system layer names.
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "tavrin/shell/commands.h"
#include "tavrin/shell/shell_state.h"

namespace shell {

namespace {

// Test controls reachable by name. available is false for the ones this library version no
// longer implements (their numbers were retired or given to other operations).
enum class CTestArgs { kNone, kInt, kDbInt, kUnsupported };
struct TestControl {
    const char* name;
    int op;
    CTestArgs args;
    bool available;
};

const TestControl kTestControls[] = {
    {"prng_save", SQLITE_TESTCTRL_PRNG_SAVE, CTestArgs::kNone, true},
    {"prng_restore", SQLITE_TESTCTRL_PRNG_RESTORE, CTestArgs::kNone, true},
    {"prng_reset", SQLITE_TESTCTRL_PRNG_RESET, CTestArgs::kNone, false},
    {"bitvec_test", SQLITE_TESTCTRL_BITVEC_TEST, CTestArgs::kUnsupported, true},
    {"fault_install", SQLITE_TESTCTRL_FAULT_INSTALL, CTestArgs::kUnsupported, true},
    {"benign_malloc_hooks", SQLITE_TESTCTRL_BENIGN_MALLOC_HOOKS, CTestArgs::kUnsupported, true},
    {"pending_byte", SQLITE_TESTCTRL_PENDING_BYTE, CTestArgs::kInt, true},
    {"assert", SQLITE_TESTCTRL_ASSERT, CTestArgs::kInt, true},
    {"always", SQLITE_TESTCTRL_ALWAYS, CTestArgs::kInt, true},
    {"reserve", SQLITE_TESTCTRL_RESERVE, CTestArgs::kDbInt, false},
    {"optimizations", SQLITE_TESTCTRL_OPTIMIZATIONS, CTestArgs::kDbInt, true},
    {"iskeyword", SQLITE_TESTCTRL_ISKEYWORD, CTestArgs::kInt, false},
    {"scratchmalloc", SQLITE_TESTCTRL_SCRATCHMALLOC, CTestArgs::kUnsupported, false},
};

bool isNumber(const char* text) {
    if (!*text) return false;
    for (const char* p = text; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    }
    return true;
}

const TestControl* findTestControl(const char* word) {
    if (isNumber(word)) {
        int op = std::atoi(word);
        for (const TestControl& control : kTestControls) {
            if (control.op == op && control.available) return &control;
        }
        for (const TestControl& control : kTestControls) {
            if (control.op == op) return &control;
        }
        return nullptr;
    }
    size_t length = std::strlen(word);
    for (const TestControl& control : kTestControls) {
        if (std::strncmp(word, control.name, length) == 0) return &control;
    }
    return nullptr;
}

}  // namespace

int commandBackup(ShellState& state, int nArg, char** azArg) {
    const char* destFile = nullptr;
    const char* dbName = nullptr;
    for (int j = 1; j < nArg; ++j) {
        const char* z = azArg[j];
        if (z[0] == '-') {
            const char* option = z;
            while (*option == '-') ++option;
            if (std::strcmp(option, "key") == 0 && j < nArg - 1) {
                ++j;  // an encryption key: this library has no use for it
            } else {
                std::fprintf(stderr, "unknown option: %s\n", azArg[j]);
                return 1;
            }
        } else if (!destFile) {
            destFile = z;
        } else if (!dbName) {
            dbName = destFile;
            destFile = z;
        } else {
            std::fprintf(stderr, "too many arguments to .backup\n");
            return 1;
        }
    }
    if (!destFile) {
        std::fprintf(stderr, "missing FILENAME argument on .backup\n");
        return 1;
    }
    if (!dbName) dbName = "main";
    sqlite3* dest = nullptr;
    if (sqlite3_open(destFile, &dest) != SQLITE_OK) {
        std::fprintf(stderr, "Error: cannot open \"%s\"\n", destFile);
        sqlite3_close(dest);
        return 1;
    }
    ensureOpen(state);
    if (!state.m_pDb) {
        sqlite3_close(dest);
        return 1;
    }
    sqlite3_backup* backup = sqlite3_backup_init(dest, "main", state.m_pDb, dbName);
    if (!backup) {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(dest));
        sqlite3_close(dest);
        return 1;
    }
    int rc;
    while ((rc = sqlite3_backup_step(backup, 100)) == SQLITE_OK) {
    }
    sqlite3_backup_finish(backup);
    int result = 0;
    if (rc != SQLITE_DONE) {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(dest));
        result = 1;
    }
    sqlite3_close(dest);
    return result;
}

int commandRestore(ShellState& state, int nArg, char** azArg) {
    const char* srcFile = nArg == 2 ? azArg[1] : azArg[2];
    const char* dbName = nArg == 2 ? "main" : azArg[1];
    // Read-only, so a mistyped name fails instead of creating an empty file and restoring it
    // over the database.
    sqlite3* src = nullptr;
    if (sqlite3_open_v2(srcFile, &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "Error: cannot open \"%s\"\n", srcFile);
        sqlite3_close(src);
        return 1;
    }
    ensureOpen(state);
    if (!state.m_pDb) {
        sqlite3_close(src);
        return 1;
    }
    sqlite3_backup* backup = sqlite3_backup_init(state.m_pDb, dbName, src, "main");
    if (!backup) {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(state.m_pDb));
        sqlite3_close(src);
        return 1;
    }
    int rc;
    int busyTries = 0;
    while ((rc = sqlite3_backup_step(backup, 100)) == SQLITE_OK || rc == SQLITE_BUSY) {
        if (rc == SQLITE_BUSY) {
            if (busyTries++ >= 3) break;
            sqlite3_sleep(100);
        }
    }
    sqlite3_backup_finish(backup);
    int result = 0;
    if (rc == SQLITE_DONE) {
        result = 0;
    } else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        std::fprintf(stderr, "Error: source database is busy\n");
        result = 1;
    } else {
        std::fprintf(stderr, "Error: %s\n", sqlite3_errmsg(state.m_pDb));
        result = 1;
    }
    sqlite3_close(src);
    return result;
}

int commandLoad(ShellState& state, int nArg, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    char* error = nullptr;
    int rc = sqlite3_load_extension(state.m_pDb, azArg[1], nArg > 2 ? azArg[2] : nullptr, &error);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "Error: %s\n", error ? error : sqlite3_errmsg(state.m_pDb));
        sqlite3_free(error);
        return 1;
    }
    return 0;
}

int commandTestControl(ShellState& state, int nArg, char** azArg) {
    const TestControl* control = findTestControl(azArg[1]);
    if (!control) {
        std::fprintf(stderr, "Error: unrecognized test-control: %s\n", azArg[1]);
        return 1;
    }
    if (!control->available) {
        std::fprintf(stderr, "Error: test-control %s is not available in SQLite %s\n",
                     control->name, sqlite3_libversion());
        return 1;
    }
    int rc = 0;
    switch (control->args) {
        case CTestArgs::kNone:
            if (nArg != 2) {
                std::fprintf(stderr, "Error: testctrl %s takes no options\n", azArg[1]);
                return 1;
            }
            rc = sqlite3_test_control(control->op);
            break;
        case CTestArgs::kInt:
            if (nArg != 3) {
                std::fprintf(stderr, "Error: testctrl %s takes a single int option\n", azArg[1]);
                return 1;
            }
            if (control->op == SQLITE_TESTCTRL_PENDING_BYTE) {
                rc = sqlite3_test_control(
                    control->op, static_cast<unsigned>(std::strtoul(azArg[2], nullptr, 0)));
            } else {
                rc = sqlite3_test_control(control->op, std::atoi(azArg[2]));
            }
            break;
        case CTestArgs::kDbInt:
            if (nArg != 3) {
                std::fprintf(stderr, "Error: testctrl %s takes a single int option\n", azArg[1]);
                return 1;
            }
            ensureOpen(state);
            if (!state.m_pDb) return 1;
            rc = sqlite3_test_control(control->op, state.m_pDb, std::atoi(azArg[2]));
            break;
        case CTestArgs::kUnsupported:
            std::fprintf(stderr, "Error: CLI support for testctrl %s not implemented\n", azArg[1]);
            return 1;
    }
    std::fprintf(state.out(), "%d (0x%08x)\n", rc, static_cast<unsigned>(rc));
    return 0;
}

int commandVersion(ShellState& state, int, char**) {
    std::fprintf(state.out(), "SQLite %s %s\n", sqlite3_libversion(), sqlite3_sourceid());
    return 0;
}

int commandVfsName(ShellState& state, int nArg, char** azArg) {
    ensureOpen(state);
    if (!state.m_pDb) return 1;
    const char* dbName = nArg == 2 ? azArg[1] : "main";
    char* vfsName = nullptr;
    sqlite3_file_control(state.m_pDb, dbName, SQLITE_FCNTL_VFSNAME, &vfsName);
    if (vfsName) {
        std::fprintf(state.out(), "%s\n", vfsName);
        sqlite3_free(vfsName);
    }
    return 0;
}

}  // namespace shell
