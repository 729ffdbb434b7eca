#include "morvel/scan_loader.h"

#include <sqlite3.h>

#include <memory>

#include "common/db_handle.h"
#include "common/scan_name.h"
#include "morvel/command_line.h"
#include "morvel/line_reader.h"

namespace morvel {

namespace {

struct QueryContext {
    std::vector<std::string>* names;
    std::FILE* console;
};

int OnNameRow(void* context, int columns, char** values, char** /*names*/) {
    auto* query = static_cast<QueryContext*>(context);
    if (columns < 3 || !values || !values[2]) return 0;
    query->names->emplace_back(values[2]);
    if (query->console) std::fprintf(query->console, "%s\n", values[2]);
    return 0;
}

}  // namespace

bool QueryScanNames(DbHandle& db, const std::string& sessionName, std::vector<std::string>& names,
                    std::FILE* console) {
    db.SetError(nullptr);
    if (!db.db) return false;
    // A single-quoted literal with its quotes doubled: the name is data whatever it holds.
    char* sql = sqlite3_mprintf("select * from utm2dba where utm = %Q", sessionName.c_str());
    if (!sql) return false;
    QueryContext context{&names, console};
    char* error = nullptr;
    int rc = sqlite3_exec(db.db, sql, OnNameRow, &context, &error);
    sqlite3_free(sql);
    db.SetError(error);
    if (console) std::fflush(console);
    return rc == SQLITE_OK;
}

void ReadScanFiles(ScanData& data, const std::string& packageFolder,
                   const std::string& sessionName) {
    const std::string sessions(kSessionsSubfolder);
    for (const std::string& name : data.dbaNames) {
        // A name that climbs out of the sessions directory is treated as a missing file.
        if (!common::ScanNameStaysBeneath(name)) continue;
        ReadScanFile(packageFolder, sessions + name, data.dbaLines);
    }
    if (!data.dbaLines.empty()) {
        data.nSource = kSourceDbaFiles;
        return;
    }
    data.nSource = kSourceSessionScan;
    const std::string scanName = sessionName + ".scan";
    if (common::ScanNameStaysBeneath(scanName))
        ReadScanFile(packageFolder, sessions + scanName, data.scanLines);
}

ScanData LoadScanData(const ScanInputs& inputs, std::FILE* console) {
    ScanData data;
    auto db = std::make_unique<DbHandle>();
    // File names here are already in the file system's encoding, which is what SQLite takes.
    OpenDbHandle(*db, inputs.strParentDb);
    QueryScanNames(*db, inputs.strSessionName, data.dbaNames, console);
    ReadScanFiles(data, inputs.strPackageFolder, inputs.strSessionName);
    db->Close();
    return data;
}

}  // namespace morvel
