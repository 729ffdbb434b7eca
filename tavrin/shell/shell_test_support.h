// Helpers of the engine's tests: temporary folders, files, captured streams and runs of the
// tavrin-sql program.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/testing/temp_folder.h"
#include "tavrin/shell/shell.h"

namespace shell::test {

using common::test::CTempFolder;

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// Rows of a query as "a|b" lines, each ending in '\n'; "<NULL>" for NULL.
inline std::string queryRows(sqlite3* db, const std::string& sql) {
    std::string result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        return std::string("prepare failed: ") + sqlite3_errmsg(db);
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            if (i) result += '|';
            const unsigned char* text = sqlite3_column_text(stmt, i);
            result += text ? reinterpret_cast<const char*>(text) : "<NULL>";
        }
        result += '\n';
    }
    sqlite3_finalize(stmt);
    return result;
}

// Runs a dot-command given as separate arguments, as the import does.
inline int runCommand(ShellState& state, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return runDotCommand(static_cast<int>(argv.size()), argv.data(), state);
}

// Runs a dot-command line as a script would.
inline int runLine(ShellState& state, std::string line) {
    return runDotCommandLine(line.data(), state);
}

// Standard error written while a piece of code runs.
template <typename F>
std::string captureStderr(F f) {
    std::fflush(stderr);
    ::testing::internal::CaptureStderr();
    f();
    std::fflush(stderr);
    return ::testing::internal::GetCapturedStderr();
}

// Standard output written while a piece of code runs.
template <typename F>
std::string captureStdout(F f) {
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// A state's output sent to a file, read back with text(). attach() after openShell (which
// closes any output the state had).
class COutputFile {
  public:
    COutputFile(const CTempFolder& folder, ShellState& state)
        : m_strPath(folder / "out.txt"), m_state(state) {}
    void attach() {
        m_pFile = std::fopen(m_strPath.c_str(), "wb");
        m_state.m_pOut = m_pFile;
        m_state.m_strOutputName = m_strPath;
    }
    bool attached() const {
        return m_pFile && m_state.m_pOut == m_pFile && m_state.m_strOutputName == m_strPath;
    }
    std::string text() {
        if (!attached()) return std::string();
        std::fflush(m_pFile);
        return readFile(m_strPath);
    }
    // Empties the file, while the state still writes to it.
    void clear() {
        if (!attached()) return;
        std::fflush(m_pFile);
        std::FILE* reopened = std::freopen(m_strPath.c_str(), "wb", m_pFile);
        if (!reopened) m_state.m_pOut = m_pFile = nullptr;
    }

  private:
    std::string m_strPath;
    ShellState& m_state;
    std::FILE* m_pFile = nullptr;
};

// Outcome of a run of tavrin-sql.
struct ProgramRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Runs tavrin-sql (the one built beside the tests) with args (quoted here for the system's
// command interpreter), stdin from stdinFile (or the null device), capturing its streams.
inline ProgramRun runTavrinSql(const CTempFolder& folder, const std::vector<std::string>& args,
                               const std::string& stdinFile = "/dev/null") {
#ifdef TAVRIN_SQL_PROGRAM
    std::string program = TAVRIN_SQL_PROGRAM;
#else
    const char* dir = std::getenv("TAVRIN_PROGRAM_DIR");
    std::string program = std::string(dir ? dir : ".") + "/tavrin-sql";
#endif
    std::string outPath = (folder / "run.out");
    std::string errPath = (folder / "run.err");
    ProgramRun run;
#ifdef _WIN32
    // cmd.exe: each argument as the C runtime reads it back (no argument here holds a quote
    // or ends in a backslash); redirections name files with Windows' separator; the whole
    // line in one more pair of quotes, which cmd /c takes off. Its exit code is the program's.
    auto quote = [](std::string text) { return "\"" + text + "\""; };
    auto native = [](std::string path) {
        if (path == "/dev/null") return std::string("NUL");
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    };
    if (!program.ends_with(".exe")) program += ".exe";
    std::string command = quote(native(program));
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " <" + quote(native(stdinFile)) + " >" + quote(native(outPath)) + " 2>" +
               quote(native(errPath));
    run.exitStatus = std::system(quote(command).c_str());
#else
    auto quote = [](const std::string& text) {
        std::string q = "'";
        for (char c : text) {
            if (c == '\'') {
                q += "'\\''";
            } else {
                q += c;
            }
        }
        return q + "'";
    };
    std::string command = quote(program);
    for (const std::string& arg : args) command += " " + quote(arg);
    std::string rcPath = (folder / "run.rc");
    command += " <" + quote(stdinFile) + " >" + quote(outPath) + " 2>" + quote(errPath) +
               "; echo $? >" + quote(rcPath);
    if (std::system(command.c_str()) != 0) return run;
    run.exitStatus = std::atoi(readFile(rcPath).c_str());
#endif
    run.out = readFile(outPath);
    run.err = readFile(errPath);
#ifdef _WIN32
    // A console program's standard streams are in text mode on Windows: "\n" goes out as CR LF.
    for (std::string* text : {&run.out, &run.err}) {
        std::string lf;
        for (std::size_t i = 0; i < text->size(); ++i)
            if (!((*text)[i] == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n'))
                lf += (*text)[i];
        *text = lf;
    }
#endif
    return run;
}

}  // namespace shell::test
