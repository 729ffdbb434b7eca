// CPackageImport: the work of importing one package that needs no window. The main dialog
// (button 1001, the command-line package) and the tavrin-import command drive it step by
// step, in this order:
//
//   CheckDiskSpace -> WorkFolderExists (if so, open the package instead and stop)
//   -> CreateWorkFolder -> Unpack (on kNotStarted, kNotAPackage or kCancelled:
//      RemoveWorkFolder, stop)
//   -> ConvertDumps -> LoadParentDb -> [first page] -> CreateChildTables(child handle)
//   -> LoadChildRows(child handle), normally on a background loader thread.
//
// The first page needs only unix_sms_log, so Parent.db may instead load in two parts:
// ConvertTextMatrix -> LoadFirstTable -> [first page] -> LoadLaterDumps (normally on a thread
// of its own, while the window shows the first page), which NoteParentLoad takes back.
//
// Unpack may also be done in two runs of the archiver (UnpackFirstTable, StartUnpackRest,
// FinishUnpack): unix_sms_log's dump alone, which LoadFirstTable loads while the rest unpacks.
// ConvertTextMatrix and child.db then wait for the rest.
//
// The two databases are independent files, so child.db may instead load on a thread of its
// own beside ConvertDumps and LoadParentDb, right after unpacking: LoadChildDatabase does the
// split, the definitions and the rows there, and NoteChildLoad takes its report back.
//
// Each step is a separate call so that a caller can time it, show progress or move it off
// the user-interface thread. The steps write the console messages of the import (GBK) to
// standard output, as the engine and loaders they call write theirs. Nothing here keeps a
// database connection open between calls: Parent.db is loaded through a shell state of its
// own that is closed before LoadParentDb returns, and the child database is the caller's
// handle.
//
// Nothing silent: every failure of a step that leaves a table short or empty (a conversion, a
// dot-command of the Parent.db load, a table definition, a commit, the row load) is named on
// the console ("数据表未完整载入：TABLE") and kept in IncompleteTables(); the caller tells the
// user (and tavrin-import exits 3).
//
// Progress: with SetProgress the steps report what they work on and how far they are, and stop
// at the user's request: Unpack kills the archiver, and a step that was asked to stop (or that
// comes after the request) leaves its work unfinished; the caller then removes the work folder.
//
// Threads: one object is used by one thread at a time. The steps before LoadChildRows use the
// shell engine, whose process-wide values allow one importing thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/archiver_version.h"
#include "tavrin/workspace/workspace_paths.h"

struct DbHandle;
namespace workspace {
struct SLoadReport;
}  // namespace workspace

namespace package_import {

class CImportProgress;

// What became of unpacking.
enum class UnpackOutcome {
    kUnpacked,     // the archiver succeeded and the dump folder is there
    kDamaged,      // the archiver reported an error but left the dump folder: the import goes
                   // on with what was unpacked, and the user must be told it may be incomplete
    kNotAPackage,  // no dump folder after the archiver ran: not a readable package
    kNotStarted,   // the archiver could not be started
    kCancelled,    // stopped at the user's request (the archiver killed or never started)
    kNoSpace,      // what the archive declares it unpacks to does not fit (or its listing did
                   // not end): not unpacked
};

// True when freeBytes is strictly greater than 1.5 times fileSize (computed in floating point
// and truncated to an integer, so exactly 1.5 times is refused).
bool DiskSpaceSuffices(std::uint64_t fileSize, std::uint64_t freeBytes);

// True when the package file can be opened for reading and the file system holding
// targetFolder has more free bytes than 1.5 times its size. False also when the free space
// cannot be queried.
bool CheckDiskSpace(const std::string& packagePath, const std::string& targetFolder);

// The tables a load of package SQL left short, as the user is told them: those its failed
// statements name and, when the whole load was lost (a full disk, a failed commit), the
// database itself (databaseName). Empty for a complete or a stopped load.
std::vector<std::string> IncompleteTables(const workspace::SLoadReport& report,
                                          const std::string& databaseName);

// Writes "数据表未完整载入：TABLE\n" (GBK) on standard output for each table.
void PrintIncompleteTables(const std::vector<std::string>& tables);

// The most the SQL of a dump of dumpSize bytes may make its database grow to: enough for
// every row it can hold, with room for indexes, and never the whole disk.
std::uint64_t ChildDatabaseBound(std::uint64_t dumpSize);

// The whole load of a package's child.db, for a thread of its own: splits the SQL dump of
// paths into its two halves, bounds child's size (ChildDatabaseBound), runs the definitions
// and then the row statements on child (open on paths.ChildDbPath()). Touches nothing but
// those files and child, so it may run while another thread loads Parent.db. The handle's
// error slot is this thread's while it runs. Once *stop reads true (null: never) it ends
// soon, its transactions rolled back. report receives what was left undone, all steps
// together (a split that failed names "sub_table_sms.sql"). Returns InsertRowStatements'
// result (0 when the rows could not be read, which also counts as a failure in the report).
// onTablesReady, when given, is called once on this thread when the definitions have run (or
// the load ended before them), before the rows load.
int LoadChildDatabase(const workspace::CWorkspacePaths& paths, DbHandle& child,
                      const std::atomic<bool>* stop, workspace::SLoadReport& report,
                      const std::function<void()>& onTablesReady = {});

// Converts the scan dump named scan ("utm_dba_scan" or "utm_xapp_scan") from the dump folder
// into the work folder (DoubleEscapedQuotes). False when it failed; a missing source is no
// failure (the load of its table reports it).
bool ConvertScanDump(const workspace::CWorkspacePaths& paths, const std::string& scan,
                     const std::function<bool(std::uint64_t)>& progress = {});

// The dumps of Parent.db that load after unix_sms_log, as tables, in load order; vsms_xapp_tab
// and w_text_matrix only with their flags.
std::vector<std::string> LaterParentTables(bool bHasTabTable, bool bHasMatrixTable);

// The rest of Parent.db after LoadFirstTable, for a thread of its own while the window shows
// the first page: converts the scan dumps into the work folder and imports every dump of
// LaterParentTables through a shell state of its own. Parent.db stays readable by other
// connections meanwhile (LoadFirstTable left it in write-ahead-log mode; each table appears
// whole when its import commits). onTableLoaded, when given, is called on this thread after
// each table's import has ended, also after a failed one (the table is then short, and named
// in report); not after a stop. Once *stop reads true (null: never), or termination is
// requested, it ends soon, the running import rolled back, with report.bStopped. It waits
// for another import's use of the shell engine (one importing thread at a time) first,
// stoppable as well. report receives what was left short, as IncompleteTables reads it.
// Touches nothing but the package's work files.
void LoadLaterDumps(const workspace::CWorkspacePaths& paths, bool bHasTabTable,
                    bool bHasMatrixTable, const std::atomic<bool>* stop,
                    workspace::SLoadReport& report,
                    const std::function<void(const std::string& table)>& onTableLoaded = {});

class CPackageImport {
  public:
    // The import of the package file at packagePath (its name gives every path) into a work
    // folder beside programFolder.
    CPackageImport(std::string programFolder, std::string packagePath);

    const std::string& PackagePath() const { return m_strPackagePath; }
    const workspace::CWorkspacePaths& Paths() const { return m_paths; }
    const std::string& PackageName() const { return m_paths.Package().strName; }

    // False when the file name gives no name a work folder can safely have (empty, "." or
    // "..", a '/' or NUL in it). Such a package must not be imported: its work folder would
    // be the program folder itself or lie outside it, and it is deleted at close.
    bool HasUsableName() const;

    // Reports the steps to pProgress and honours its cancel request; null (the default) does
    // neither. The object must outlive every later step call.
    void SetProgress(CImportProgress* pProgress) { m_pProgress = pProgress; }
    // True once the user asked the import to stop (through the progress object).
    bool Cancelled() const;

    // The free-space check, on the file system of the program folder (where the package is
    // unpacked).
    bool CheckDiskSpace() const;

    // True when the package's work folder exists (the package was imported already).
    bool WorkFolderExists() const;

    // Creates the work folder. On failure writes "创建文件夹失败！%d" with the error code (no
    // line end) and returns false; the caller goes on, as the archiver may still succeed.
    bool CreateWorkFolder();

    // Runs the archiver (str7zCommand as Make7zCommand builds it) on the package with the
    // work folder as output and waits for it. Blocks for the whole extraction. With a progress
    // object the archiver shows its percentage and a cancel request kills it (kCancelled).
    // Before that, the archive's listing must show that what it unpacks to fits in the free
    // space (else kNoSpace). After it, entries standing where the import writes its own files
    // are removed (ImportOutputPaths), which makes the package damaged.
    UnpackOutcome Unpack(const std::string& str7zCommand);
    // The unpacked size the archive declared, as the last Unpack read it.
    std::uint64_t DeclaredBytes() const { return m_nDeclaredBytes; }
    // True when Unpack refused the archiver as too old to unpack safely (it returned
    // kNotStarted before the archiver saw the package); ArchiverVersion() tells which it was.
    bool ArchiverRefused() const {
        return m_archiverVersion.bStarted && !m_archiverVersion.Acceptable();
    }
    const SArchiverVersion& ArchiverVersion() const { return m_archiverVersion; }

    // Unpacking in two runs of the archiver, so that the first table need not wait for the
    // whole package (the dialog's and tavrin-import's order):
    //   UnpackFirstTable -> StartUnpackRest -> [LoadFirstTable] -> FinishUnpack -> first page
    // UnpackFirstTable makes Unpack's checks (the archiver's version, the listing against the
    // free space) and unpacks unix_sms_log's dump alone, blocking; the archiver skips the rest
    // of the tar without reading it. It returns kNotStarted, kNoSpace or kCancelled as Unpack
    // (nothing more is unpacked then); kUnpacked when the dump is there, checked as Unpack
    // checks what it unpacked, and may load now; any other outcome (the dump missing, damaged
    // or removed by the checks) leaves it to the second run, which unpacks it too.
    UnpackOutcome UnpackFirstTable(const std::string& str7zCommand);
    // Starts the archiver on every other entry on a thread of its own and returns at once.
    // Parent.db's files are never taken from the archive in this run (the first table may be
    // loading into them). Call once, after UnpackFirstTable returned kUnpacked, kDamaged or
    // kNotAPackage. The archiver is killed when the progress object's cancel is requested,
    // on termination (platform::TerminationRequested) and by StopUnpackRest.
    void StartUnpackRest(const std::string& str7zCommand);
    // The second run's thread checks the whole work folder as Unpack does once the archiver
    // has ended (outputs of the import other than Parent.db's files that the archive put there
    // are removed, so nothing may create them before), then gives the outcome of both runs as
    // Unpack would (kDamaged when either was damaged) to RestUnpacked(). Any thread may wait
    // on that (e.g. child.db's loader, which needs the SQL dump). Invalid before
    // StartUnpackRest.
    std::shared_future<UnpackOutcome> RestUnpacked() const { return m_restUnpacked; }
    // Waits for the second run and returns RestUnpacked()'s outcome; kNotStarted when no second
    // run was started. When the checks of the second run removed the first dump (a later entry
    // linked to it), unix_sms_log is said short (IncompleteTables), whatever it loaded.
    UnpackOutcome FinishUnpack();
    // Kills a running second run and waits for it (FinishUnpack then says kCancelled). Any
    // thread but the second run's; also done by the destructor.
    void StopUnpackRest();
    ~CPackageImport();
    CPackageImport(const CPackageImport&) = delete;
    CPackageImport& operator=(const CPackageImport&) = delete;

    // After kNotStarted or kNotAPackage: deletes the work folder with what the archiver left
    // in it and writes "删除文件夹成功！" or "删除文件夹失败！%d" with the error code (no line
    // end). Returns true when the folder is gone.
    bool RemoveWorkFolder();

    // The conversions before loading: w_text_matrix.bak into w_text_matrix1.bak (dump
    // folder), the package flags from vsms_xapp_tab.bak and w_text_matrix1.bak, then
    // utm_dba_scan.bak and utm_xapp_scan.bak from the dump folder into the work folder.
    void ConvertDumps();
    // ConvertDumps' first part, all the first page needs: the text matrix and both flags.
    // The scan dumps are left to LoadLaterDumps.
    void ConvertTextMatrix();
    // The flags ConvertDumps found: vsms_xapp_tab data present, w_text_matrix data present.
    bool HasTabTable() const { return m_bHasTabTable; }
    bool HasMatrixTable() const { return m_bHasMatrixTable; }

    // Creates Parent.db's tables with {exe}/table.sql and imports every dump with its
    // separator through a shell state of its own, closed before returning. A dump that is
    // missing or malformed leaves its table short or empty (the engine says why on standard
    // error) and the load goes on.
    // Waits for another import's use of the shell engine first (honouring Cancel).
    void LoadParentDb();

    // LoadParentDb's first part: the tables of table.sql and the unix_sms_log dump, then
    // Parent.db is switched to write-ahead logging, so that the window and other processes
    // (tavrin-query, the text index) read it while LoadLaterDumps writes the rest. SQLite locks
    // the whole file: with the ordinary journal the writer shuts every reader out from the
    // moment its cache spills to the end of the dump. LoadLaterDumps switches back when
    // nothing else has the file open. Waits for another import's use of the shell engine first
    // (honouring Cancel).
    void LoadFirstTable();

    // Takes the tables a LoadLaterDumps of this package left short into IncompleteTables().
    void NoteParentLoad(const workspace::SLoadReport& report);

    // Splits sub_table_sms.sql into mysql.sql (rows) and mysql1.sql (definitions) in the work
    // folder and runs the definitions at once on child, which must be open on ChildDbPath().
    void CreateChildTables(DbHandle& child);

    // Loads mysql.sql into child (the background loader's work, here on the calling thread).
    // Returns 1 when the file was loaded, 0 when it could not be opened (also incomplete).
    int LoadChildRows(DbHandle& child);

    // Takes the tables a LoadChildDatabase of this package left short into IncompleteTables()
    // (named on the console as the steps name theirs). Call on the thread using this object.
    void NoteChildLoad(const workspace::SLoadReport& report);

    // The tables the steps so far left short or empty, each once, in the order found.
    const std::vector<std::string>& IncompleteTables() const { return m_incompleteTables; }
    bool LoadIncomplete() const { return !m_incompleteTables.empty(); }

  private:
    // The listing's check before unpacking; writes the console line of a refusal.
    bool UnpackedSizeFits(const std::string& archiverPath);
    // Unpack's checks before the archiver sees the package: kUnpacked when it may run.
    UnpackOutcome CheckBeforeUnpack(const std::string& str7zCommand);
    // One blocking archiver run over entries into the work folder; with a progress object it
    // shows the archiver's percentage and stops on cancel.
    ArchiverResult RunArchiverHere(const std::string& str7zCommand, const SArchiveEntries& entries);
    // unix_sms_log's dump as a path inside the archive.
    std::string FirstDumpEntry() const;

    // Imports tables into Parent.db through a shell state of its own, in the engine's turn, each
    // announced before it loads and noted when left short; nothing after a cancel request.
    // bFirst: table.sql runs first and the file is left in write-ahead-log mode; otherwise the
    // log is folded back at the end.
    void LoadParentTables(const std::vector<std::string>& tables, bool bFirst);

    std::string m_strProgramFolder;
    std::string m_strPackagePath;
    workspace::CWorkspacePaths m_paths;
    bool m_bHasTabTable = false;
    bool m_bHasMatrixTable = false;
    CImportProgress* m_pProgress = nullptr;
    SArchiverVersion m_archiverVersion;  // as the last Unpack found it
    std::uint64_t m_nDeclaredBytes = 0;
    std::vector<std::string> m_incompleteTables;
    // The two-run unpacking: whether the first run left its dump ready (or damaged), and the
    // second run's thread, stop flag and result (the thread's until it is joined).
    bool m_bFirstReady = false;
    bool m_bFirstDamaged = false;
    std::thread m_restThread;
    std::atomic<bool> m_bStopRest{false};
    std::shared_future<UnpackOutcome> m_restUnpacked;

    // Names table on the console and keeps it (once) for IncompleteTables; not after a cancel.
    void NoteIncomplete(const std::string& table);
};

}  // namespace package_import
