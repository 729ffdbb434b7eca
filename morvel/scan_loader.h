// Gathering a session's scan lines from its package. The package's Parent.db table utm2dba
// names the session's scan files (column utm = the session name, position 2 = a file name
// relative to the sessions directory); their lines are used, file after file. When they give
// no line, the session's own "<session>.scan" file is used instead. No Qt; any thread, one
// call at a time per DbHandle.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct DbHandle;

namespace morvel {

// Which lines the pages come from.
inline constexpr int kSourceDbaFiles = 1;     // lines of the files named in utm2dba
inline constexpr int kSourceSessionScan = 2;  // lines of "<session>.scan"

struct ScanData {
    std::vector<std::string> dbaNames;   // names from utm2dba, in row order
    std::vector<std::string> dbaLines;   // lines of the named files, in order
    std::vector<std::string> scanLines;  // lines of the session's ".scan" file
    int nSource = kSourceSessionScan;    // always 1 or 2

    // The lines in use.
    const std::vector<std::string>& Lines() const {
        return nSource == kSourceDbaFiles ? dbaLines : scanLines;
    }
};

// Appends to names the position-2 texts of the utm2dba rows whose utm equals sessionName, in
// the order SQLite returns them, and writes each followed by a line end to console (when
// given). The name is compared as a value, never read as SQL. Rows with fewer than three
// columns or a NULL name contribute nothing. A failing query (no table, no database) adds
// nothing and leaves its message in the handle's error slot. Returns false when it failed.
bool QueryScanNames(DbHandle& db, const std::string& sessionName, std::vector<std::string>& names,
                    std::FILE* console);

// Fills data.dbaLines from the files named in data.dbaNames (beneath packageFolder's sessions
// directory; names leading outside it, links leaving the package and non-files are skipped
// like missing files) and sets data.nSource; when they give no line, fills data.scanLines
// from "<sessionName>.scan" instead.
void ReadScanFiles(ScanData& data, const std::string& packageFolder,
                   const std::string& sessionName);

// Where a session's data lies.
struct ScanInputs {
    std::string strParentDb;       // path of Parent.db (file-system bytes, UTF-8 for SQLite)
    std::string strPackageFolder;  // "{program folder}/{package}"
    std::string strSessionName;    // bytes as stored in the package
};

// Opens Parent.db (read-write, created when missing), reads the session's names
// (QueryScanNames), then their files (ReadScanFiles), and closes the database. Never fails: missing
// data gives no lines. console receives the names (may be null).
ScanData LoadScanData(const ScanInputs& inputs, std::FILE* console);

}  // namespace morvel
