#include "tavrin/import/package_import.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include "common/console_text.h"
#include "common/db_handle.h"
#include "common/sql_stop.h"
#include "platform/disk_space.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "platform/termination_signals.h"
#include "platform/tree_audit.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/archive_listing.h"
#include "tavrin/import/archiver_version.h"
#include "tavrin/import/import_progress.h"
#include "tavrin/import/unpack_audit.h"
#include "tavrin/shell/dot_commands.h"
#include "tavrin/shell/shell_state.h"
#include "tavrin/workspace/package_flags.h"
#include "tavrin/workspace/sql_dump_conversion.h"
#include "tavrin/workspace/sql_loader.h"

namespace package_import {

bool DiskSpaceSuffices(std::uint64_t fileSize, std::uint64_t freeBytes) {
    double needed = static_cast<double>(fileSize) * 1.5;
    // Sizes beyond 2^63 cannot occur for a real file; clamp so the cast stays defined.
    std::uint64_t neededBytes = needed >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(needed);
    return freeBytes > neededBytes;
}

bool CheckDiskSpace(const std::string& packagePath, const std::string& targetFolder) {
    // Only a regular file: a FIFO would block the open, a device never ends.
    std::optional<std::uint64_t> size = platform::ReadableFileSize(packagePath);
    if (!size) return false;
    std::optional<std::uint64_t> freeBytes = platform::FreeBytes(targetFolder);
    return freeBytes && DiskSpaceSuffices(*size, *freeBytes);
}

std::vector<std::string> IncompleteTables(const workspace::SLoadReport& report,
                                          const std::string& databaseName) {
    if (report.bStopped && !report.bFull && !report.bCommitFailed) return {};
    std::vector<std::string> tables = report.tables;
    if (report.bFull || report.bCommitFailed || (report.nFailed > 0 && tables.empty()))
        tables.push_back(databaseName);
    return tables;
}

void PrintIncompleteTables(const std::vector<std::string>& tables) {
    for (const std::string& table : tables) {
        common::ConsolePrintf("数据表未完整载入：%s\n", table.c_str());
    }
}

std::uint64_t ChildDatabaseBound(std::uint64_t dumpSize) {
    // Stored rows take less room than their INSERT text; three times it leaves room for
    // indexes and the free pages of a rebuilt table.
    constexpr std::uint64_t kFloor = 16ull << 20;
    if (dumpSize > (UINT64_MAX - kFloor) / 3) return UINT64_MAX;
    return dumpSize * 3 + kFloor;
}

CPackageImport::CPackageImport(std::string programFolder, std::string packagePath)
    : m_strProgramFolder(std::move(programFolder)),
      m_strPackagePath(std::move(packagePath)),
      m_paths(m_strProgramFolder, workspace::PackageNameFromFile(m_strPackagePath)) {
    // Every connection the import opens (the engine's included) can be stopped.
    common::HardenEveryConnection();
}

void CPackageImport::NoteIncomplete(const std::string& table) {
    if (Cancelled() || common::StopRequested()) return;
    for (const std::string& t : m_incompleteTables) {
        if (t == table) return;
    }
    m_incompleteTables.push_back(table);
    PrintIncompleteTables({table});
}

bool CPackageImport::HasUsableName() const {
    return workspace::IsUsablePackageName(PackageName());
}

bool CPackageImport::Cancelled() const {
    return m_pProgress && m_pProgress->CancelRequested();
}

namespace {

std::uint64_t SizeOf(const std::string& path) {
    return platform::FileSize(path).value_or(0);
}

// Passes the bytes a step has read to pProgress and answers whether to go on; empty (nothing
// reported, never stopped) without a progress object.
std::function<bool(std::uint64_t)> ReportBytes(CImportProgress* pProgress) {
    if (!pProgress) return {};
    return [pProgress](std::uint64_t nRead) {
        pProgress->SetDone(nRead);
        return !pProgress->CancelRequested();
    };
}

// The progress of one conversion of source: announced as a step, then its bytes read.
workspace::ConversionProgress ReportConversion(CImportProgress* pProgress, ImportStep eStep,
                                               const std::string& source) {
    if (pProgress) pProgress->BeginStep(eStep, source, SizeOf(source));
    return ReportBytes(pProgress);
}

}  // namespace

bool CPackageImport::CheckDiskSpace() const {
    return package_import::CheckDiskSpace(m_strPackagePath, m_strProgramFolder);
}

bool CPackageImport::WorkFolderExists() const {
    return HasUsableName() && platform::EntryExists(m_paths.WorkFolder());
}

bool CPackageImport::CreateWorkFolder() {
    // Fresh and private: a package's files are the user's audit data, and an existing name
    // (a folder or a link someone put there) is never unpacked into.
    errno = 0;
    bool created = HasUsableName() && CreateFreshWorkFolder(m_paths.WorkFolder());
    if (!created) {
        int code = HasUsableName() && errno != 0 ? errno : EEXIST;
        common::ConsolePrintf("创建文件夹失败！%d", code);
    }
    return created;
}

CPackageImport::~CPackageImport() {
    StopUnpackRest();
}

UnpackOutcome CPackageImport::CheckBeforeUnpack(const std::string& str7zCommand) {
    // An archiver older than 26.01 lets links in an archive write outside the work folder (and
    // does not know -spod): refuse it before it sees the package. One that cannot be started
    // at all is left to RunArchiver, which says so.
    m_archiverVersion = ArchiverVersionForRun(ArchiverProgram(str7zCommand));
    if (ArchiverRefused()) {
        PrintArchiverRefused(m_archiverVersion);
        return UnpackOutcome::kNotStarted;
    }
    // The archiver would create a missing folder with default permissions, or unpack through
    // a link standing in its place.
    const std::string& work = m_paths.WorkFolder();
    if (!HasUsableName() || (!platform::IsRealFolder(work) && !CreateFreshWorkFolder(work))) {
        return UnpackOutcome::kNotStarted;
    }
    if (Cancelled()) return UnpackOutcome::kCancelled;
    if (!UnpackedSizeFits(ArchiverProgram(str7zCommand)))
        return Cancelled() ? UnpackOutcome::kCancelled : UnpackOutcome::kNoSpace;
    return UnpackOutcome::kUnpacked;
}

ArchiverResult CPackageImport::RunArchiverHere(const std::string& str7zCommand,
                                               const SArchiveEntries& entries) {
    const std::string& work = m_paths.WorkFolder();
    if (!m_pProgress) return RunArchiver(str7zCommand, m_strPackagePath, work, entries);
    CImportProgress& progress = *m_pProgress;
    progress.BeginStep(ImportStep::kUnpacking, m_strPackagePath, 100);
    SArchiverWatch watch;
    watch.onPercent = [&progress](int nPercent) {
        progress.SetDone(static_cast<std::uint64_t>(nPercent));
    };
    watch.shouldStop = [&progress] { return progress.CancelRequested(); };
    return RunArchiver(str7zCommand, m_strPackagePath, work, watch, entries);
}

namespace {

// What an archiver run left in paths' work folder, checked: the outcome Unpack gives for
// result. Removes what stands at outputs (paths the import writes) and whatever else the
// audit removes. Any thread.
UnpackOutcome CheckUnpacked(const workspace::CWorkspacePaths& paths, const ArchiverResult& result,
                            const std::vector<std::string>& outputs) {
    if (result.stopped) return UnpackOutcome::kCancelled;
    if (!result.started) return UnpackOutcome::kNotStarted;
    // Nothing the archive left may lead a read or a write out of the work folder or block it,
    // and nothing it left stands where the import writes: what the import makes is made fresh.
    const std::string& work = paths.WorkFolder();
    SUnpackAudit audit = AuditUnpackedFolder(work);
    SUnpackAudit planted = RemovePlantedOutputs(work, outputs);
    // Whatever the archiver says, a package is only usable when its dumps are there; and a
    // package the archiver complained about, or one that held unsafe entries, may be missing
    // some of them.
    if (!platform::IsDirectory(paths.DumpFolder())) return UnpackOutcome::kNotAPackage;
    return result.Succeeded() && !audit.Damaged() && !planted.Damaged() ? UnpackOutcome::kUnpacked
                                                                        : UnpackOutcome::kDamaged;
}

}  // namespace

UnpackOutcome CPackageImport::Unpack(const std::string& str7zCommand) {
    const UnpackOutcome checked = CheckBeforeUnpack(str7zCommand);
    if (checked != UnpackOutcome::kUnpacked) return checked;
    return CheckUnpacked(m_paths, RunArchiverHere(str7zCommand, {}), m_paths.ImportOutputPaths());
}

std::string CPackageImport::FirstDumpEntry() const {
    const std::string dump = m_paths.DumpPath("unix_sms_log.bak");
    return dump.substr(m_paths.WorkFolder().size() + 1);
}

namespace {

// Parent.db's files: the first table may be loading into them while the second run unpacks.
bool IsParentDbFile(const workspace::CWorkspacePaths& paths, const std::string& path) {
    return path.compare(0, paths.ParentDbPath().size(), paths.ParentDbPath()) == 0;
}

}  // namespace

UnpackOutcome CPackageImport::UnpackFirstTable(const std::string& str7zCommand) {
    m_bFirstReady = m_bFirstDamaged = false;
    const UnpackOutcome checked = CheckBeforeUnpack(str7zCommand);
    if (checked != UnpackOutcome::kUnpacked) return checked;
    SArchiveEntries first;
    first.only.push_back(FirstDumpEntry());
    const ArchiverResult result = RunArchiverHere(str7zCommand, first);
    const UnpackOutcome outcome = CheckUnpacked(m_paths, result, m_paths.ImportOutputPaths());
    if (outcome == UnpackOutcome::kCancelled || outcome == UnpackOutcome::kNotStarted)
        return outcome;
    // A dump the checks removed something around was damaged, whatever the second run finds;
    // one the archiver could not unpack whole is unpacked again by the second run.
    m_bFirstDamaged = outcome == UnpackOutcome::kDamaged && result.Succeeded();
    m_bFirstReady = outcome == UnpackOutcome::kUnpacked &&
                    platform::FileSize(m_paths.DumpPath("unix_sms_log.bak")).has_value();
    return m_bFirstReady ? UnpackOutcome::kUnpacked : outcome;
}

void CPackageImport::StartUnpackRest(const std::string& str7zCommand) {
    if (m_restThread.joinable()) return;
    SArchiveEntries rest;
    if (m_bFirstReady) rest.except.push_back(FirstDumpEntry());
    const std::size_t workLength = m_paths.WorkFolder().size() + 1;
    std::vector<std::string> outputs;
    for (const std::string& output : m_paths.ImportOutputPaths()) {
        if (IsParentDbFile(m_paths, output))
            rest.except.push_back(output.substr(workLength));
        else
            outputs.push_back(output);
    }
    m_bStopRest.store(false);
    std::promise<UnpackOutcome> unpacked;
    m_restUnpacked = unpacked.get_future().share();
    m_restThread =
        std::thread([this, str7zCommand, rest, outputs, unpacked = std::move(unpacked)]() mutable {
            // Watched even without a progress object, so that it can be killed: its percentage is
            // not shown, the progress window is the first table's meanwhile.
            SArchiverWatch watch;
            watch.shouldStop = [this] {
                return m_bStopRest.load() || Cancelled() || platform::TerminationRequested();
            };
            if (watch.shouldStop()) {
                unpacked.set_value(UnpackOutcome::kCancelled);
                return;
            }
            const ArchiverResult result =
                RunArchiver(str7zCommand, m_strPackagePath, m_paths.WorkFolder(), watch, rest);
            const UnpackOutcome outcome = CheckUnpacked(m_paths, result, outputs);
            unpacked.set_value(outcome == UnpackOutcome::kUnpacked && m_bFirstDamaged
                                   ? UnpackOutcome::kDamaged
                                   : outcome);
        });
}

UnpackOutcome CPackageImport::FinishUnpack() {
    if (!m_restUnpacked.valid()) return UnpackOutcome::kNotStarted;
    if (m_restThread.joinable()) m_restThread.join();
    // A later entry linked to the first dump, and the checks removed it as they remove every
    // hard link: one run would have loaded nothing of it, so it is said short here too.
    if (m_bFirstReady && !platform::EntryExists(m_paths.DumpPath("unix_sms_log.bak")))
        NoteIncomplete("unix_sms_log");
    return m_restUnpacked.get();
}

void CPackageImport::StopUnpackRest() {
    if (!m_restThread.joinable()) return;
    m_bStopRest.store(true);
    m_restThread.join();
}

bool CPackageImport::UnpackedSizeFits(const std::string& archiverPath) {
    std::function<bool()> shouldStop;
    if (m_pProgress) shouldStop = [this] { return Cancelled(); };
    SDeclaredSize declared = ReadDeclaredSize(archiverPath, m_strPackagePath, shouldStop);
    std::optional<std::uint64_t> freeBytes = platform::FreeBytes(m_strProgramFolder);
    m_nDeclaredBytes = declared.nBytes;
    if (declared.eState != SDeclaredSize::kCutOff && freeBytes &&
        package_import::UnpackedSizeFits(declared.nBytes, *freeBytes))
        return true;
    common::ConsolePrintf("解压后的大小（%llu 字节）超过可用空间（%llu 字节），未解压。\n",
                          static_cast<unsigned long long>(declared.nBytes),
                          static_cast<unsigned long long>(freeBytes.value_or(0)));
    return false;
}

bool CPackageImport::RemoveWorkFolder() {
    if (!HasUsableName()) return false;
    bool removed = platform::DeleteFolderTree(m_paths.WorkFolder());
    if (removed) {
        common::ConsolePrintf("删除文件夹成功！");
    } else {
        int code = platform::PathExists(m_paths.WorkFolder()) ? ENOTEMPTY : 0;
        common::ConsolePrintf("删除文件夹失败！%d", code);
    }
    return removed;
}

void CPackageImport::ConvertDumps() {
    ConvertTextMatrix();
    for (const char* scan : {"utm_dba_scan", "utm_xapp_scan"}) {
        if (Cancelled()) return;
        const std::string source = m_paths.DumpPath(std::string(scan) + ".bak");
        if (!ConvertScanDump(m_paths, scan,
                             ReportConversion(m_pProgress, ImportStep::kConverting, source)))
            NoteIncomplete(scan);
    }
}

void CPackageImport::ConvertTextMatrix() {
    if (Cancelled()) return;
    // A missing source is no conversion failure: the optional text matrix is then absent.
    const std::string matrix = m_paths.DumpPath("w_text_matrix.bak");
    if (!workspace::StripEscapedQuotes(
            matrix, m_paths.DumpPath("w_text_matrix1.bak"),
            ReportConversion(m_pProgress, ImportStep::kConverting, matrix)) &&
        platform::PathExists(matrix)) {
        NoteIncomplete("w_text_matrix");
    }
    if (Cancelled()) return;
    m_bHasTabTable = workspace::DumpHasData(m_paths.DumpPath("vsms_xapp_tab.bak"));
    m_bHasMatrixTable = workspace::DumpHasData(m_paths.DumpPath("w_text_matrix1.bak"));
}

namespace {

// Runs one dot-command with its arguments exactly as given.
int RunCommand(ShellState& state, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return shell::runDotCommand(static_cast<int>(args.size()), argv.data(), state);
}

// The shell engine keeps process-wide values, so one thread at a time loads Parent.db: a new
// import waits here for the rest of the previous package's Parent.db. Waits while stopped()
// is false; owns the turn when Owned(). A plain mutex polled, not a timed one: GCC 12's
// timed wait goes through a call ThreadSanitizer does not see, so it reported every unlock.
std::mutex g_engineTurn;

class CEngineTurn {
  public:
    explicit CEngineTurn(const std::function<bool()>& stopped) {
        while (!m_lock.try_lock()) {
            if (stopped()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    bool Owned() const { return m_lock.owns_lock(); }

  private:
    std::unique_lock<std::mutex> m_lock{g_engineTurn, std::defer_lock};
};

// The file a table of Parent.db is imported from, and its separator.
struct SParentDump {
    std::string strPath;
    const char* szSeparator;
};

SParentDump DumpOfTable(const workspace::CWorkspacePaths& paths, const std::string& table) {
    if (table == "utm_xapp_scan" || table == "utm_dba_scan")
        return {paths.WorkPath(table + ".bak"), ","};
    if (table == "vsms_xapp_tab") return {paths.DumpPath(table + ".bak"), ","};
    if (table == "w_text_matrix") return {paths.DumpPath("w_text_matrix1.bak"), ","};
    return {paths.DumpPath(table + ".bak"), "\t"};
}

// Runs work on a shell state on the package's Parent.db for loading its dumps (progress: what
// the engine's import reports to), with the engine's turn held, and closes the shell after it.
// Waits for the turn while stopped() is false; runs nothing once it reads true.
void WithParentShell(const workspace::CWorkspacePaths& paths, const std::function<bool()>& stopped,
                     std::function<bool(std::uint64_t)> progress,
                     const std::function<void(ShellState& state)>& work) {
    CEngineTurn turn(stopped);
    if (!turn.Owned() || stopped()) return;
    ShellState state;
    // The work databases are rebuilt from the package whenever needed, so the loads need no
    // journal file or synchronous writes; each import still ends consistent.
    state.m_bFastImport = true;
    state.m_fnImportProgress = std::move(progress);
    shell::openShell(state, paths.ParentDbPath().c_str());
    std::fflush(stdout);
    work(state);
    shell::closeShell(state);
    std::fflush(stdout);
}

// Imports tables in order on state; onBegin(dump) before each, onEnd(table, ok) after each;
// none after stopped() reads true.
void ImportTables(ShellState& state, const workspace::CWorkspacePaths& paths,
                  const std::vector<std::string>& tables, const std::function<bool()>& stopped,
                  const std::function<void(const std::string& dump)>& onBegin,
                  const std::function<void(const std::string& table, bool ok)>& onEnd) {
    std::string separator;
    for (const std::string& table : tables) {
        if (stopped()) return;
        const SParentDump dump = DumpOfTable(paths, table);
        if (separator != dump.szSeparator) {
            separator = dump.szSeparator;
            RunCommand(state, {"separator", separator});
        }
        if (onBegin) onBegin(dump.strPath);
        // The engine rolls the whole table back on one bad line; that must not pass unseen.
        const bool ok = RunCommand(state, {"import", dump.strPath, table}) == 0;
        if (!stopped() && onEnd) onEnd(table, ok);
    }
}

// After the last dump: the log folded into the file, and the ordinary journal again when no
// other connection has the file open (tavrin-import), so that the file is the plain one the
// serial import leaves. With the window's connection open it stays in write-ahead-log mode
// (its readers do not need the switch); the switch is tried without waiting, since a waiting
// switch would hold off the window's next read for the whole wait.
void FoldWriteAheadLog(ShellState& state) {
    if (!state.m_pDb) return;
    sqlite3_exec(state.m_pDb, "PRAGMA wal_checkpoint(PASSIVE)", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(state.m_pDb, 0);
    sqlite3_exec(state.m_pDb, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
}

}  // namespace

bool ConvertScanDump(const workspace::CWorkspacePaths& paths, const std::string& scan,
                     const workspace::ConversionProgress& progress) {
    const std::string file = scan + ".bak";
    const std::string source = paths.DumpPath(file);
    // A missing source is no conversion failure: the load of its table reports it.
    return workspace::DoubleEscapedQuotes(source, paths.WorkPath(file), progress) ||
           !platform::PathExists(source);
}

std::vector<std::string> LaterParentTables(bool bHasTabTable, bool bHasMatrixTable) {
    std::vector<std::string> tables = {"unix_vsms_log", "unix_xapp_log", "utm2dba",
                                       "unix_xfer_log", "utm_xapp_scan", "utm_dba_scan"};
    if (bHasTabTable) tables.push_back("vsms_xapp_tab");
    if (bHasMatrixTable) tables.push_back("w_text_matrix");
    return tables;
}

void CPackageImport::LoadParentTables(const std::vector<std::string>& tables, bool bFirst) {
    if (Cancelled()) return;
    common::CStopScope stopScope(m_pProgress ? &m_pProgress->CancelFlag() : nullptr);
    const auto stopped = [this] { return Cancelled() || common::StopRequested(); };
    WithParentShell(m_paths, stopped, ReportBytes(m_pProgress), [&](ShellState& state) {
        if (bFirst && RunCommand(state, {"read", m_paths.TableScriptPath()}) != 0)
            NoteIncomplete("table.sql");
        ImportTables(
            state, m_paths, tables, [this] { return Cancelled(); },
            [this](const std::string& dump) {
                if (m_pProgress) m_pProgress->BeginStep(ImportStep::kLoading, dump, SizeOf(dump));
            },
            [this](const std::string& table, bool ok) {
                if (!ok) NoteIncomplete(table);
            });
        if (!bFirst) {
            FoldWriteAheadLog(state);
        } else if (state.m_pDb) {
            // Readers and the one writer of the later dumps do not wait for each other in this
            // mode. Set while no other connection has the file open, as the switch needs.
            sqlite3_exec(state.m_pDb, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        }
    });
}

void CPackageImport::LoadFirstTable() {
    LoadParentTables({"unix_sms_log"}, true);
}

void CPackageImport::LoadParentDb() {
    LoadFirstTable();
    if (Cancelled()) return;
    LoadParentTables(LaterParentTables(m_bHasTabTable, m_bHasMatrixTable), false);
}

void LoadLaterDumps(const workspace::CWorkspacePaths& paths, bool bHasTabTable,
                    bool bHasMatrixTable, const std::atomic<bool>* stop,
                    workspace::SLoadReport& report,
                    const std::function<void(const std::string& table)>& onTableLoaded) {
    report = workspace::SLoadReport();
    auto stopped = [stop] { return common::StopRequested() || (stop && stop->load()); };
    common::CStopScope stopScope(stop);
    auto fail = [&report](const std::string& table) {
        ++report.nFailed;
        // A scan dump whose conversion failed may fail its import too: named once.
        for (const std::string& known : report.tables)
            if (known == table) return;
        report.tables.push_back(table);
    };
    for (const char* scan : {"utm_dba_scan", "utm_xapp_scan"}) {
        if (!ConvertScanDump(paths, scan, [&stopped](std::uint64_t) { return !stopped(); }) &&
            !stopped())
            fail(scan);
    }
    // The engine's import asks the progress now and then, so a long dump stops within one step.
    const auto progress = [&stopped](std::uint64_t) { return !stopped(); };
    WithParentShell(paths, stopped, progress, [&](ShellState& state) {
        ImportTables(state, paths, LaterParentTables(bHasTabTable, bHasMatrixTable), stopped, {},
                     [&](const std::string& table, bool ok) {
                         if (!ok) fail(table);
                         if (onTableLoaded) onTableLoaded(table);
                     });
        if (!stopped()) FoldWriteAheadLog(state);
    });
    if (stopped()) report.bStopped = true;
    std::fflush(stdout);
}

void CPackageImport::NoteParentLoad(const workspace::SLoadReport& report) {
    for (const std::string& table : package_import::IncompleteTables(report, "Parent.db"))
        NoteIncomplete(table);
}

namespace {

// Sets the page size of a child.db that is still empty (a no-op on one that has pages): with
// 8 KB pages its load writes half as many pages as with SQLite's 4 KB, each with its own
// write and B-tree bookkeeping, for the same file size; larger pages leave more of each unused.
void UseChildPageSize(DbHandle& child) {
    if (child.db) workspace::ExecLoaderSql(child.db, "PRAGMA main.page_size = 8192");
}

// Adds what one step of a load left undone to the load's report.
void MergeReport(workspace::SLoadReport& into, const workspace::SLoadReport& step) {
    into.nFailed += step.nFailed;
    for (const std::string& table : step.tables) {
        bool known = false;
        for (const std::string& t : into.tables) known = known || t == table;
        if (!known) into.tables.push_back(table);
    }
    into.bFull = into.bFull || step.bFull;
    into.bCommitFailed = into.bCommitFailed || step.bCommitFailed;
    into.bStopped = into.bStopped || step.bStopped;
}

}  // namespace

int LoadChildDatabase(const workspace::CWorkspacePaths& paths, DbHandle& child,
                      const std::atomic<bool>* stop, workspace::SLoadReport& report,
                      const std::function<void()>& onTablesReady) {
    report = workspace::SLoadReport();
    auto stopped = [stop] { return common::StopRequested() || (stop && stop->load()); };
    // Told once, however the definitions ended.
    struct STablesReady {
        const std::function<void()>& notify;
        ~STablesReady() {
            if (notify) notify();
        }
    };
    {
        STablesReady ready{onTablesReady};
        common::CStopScope stopScope(stop);
        const std::string& dump = paths.SqlDumpPath();
        const bool split =
            workspace::SplitSqlDump(dump, paths.RowStatementsPath(), paths.TableDefinitionsPath(),
                                    [&stopped](std::uint64_t) { return !stopped(); });
        if (stopped()) {
            report.bStopped = true;
            return 1;
        }
        if (!split) {
            ++report.nFailed;
            report.tables.push_back("sub_table_sms.sql");
        }
        UseChildPageSize(child);
        workspace::LimitDatabaseSize(child.db, ChildDatabaseBound(SizeOf(dump)));
        workspace::SLoadReport definitions;
        if (workspace::RunSqlFile(child, paths.TableDefinitionsPath(), &definitions) == 0)
            ++definitions.nFailed;
        MergeReport(report, definitions);
        if (stopped()) {
            report.bStopped = true;
            return 1;
        }
    }
    workspace::SLoadReport rows;
    const int result =
        workspace::InsertRowStatements(child, paths.RowStatementsPath(), stop, &rows);
    if (result == 0) ++rows.nFailed;
    MergeReport(report, rows);
    std::fflush(stdout);
    return result;
}

void CPackageImport::NoteChildLoad(const workspace::SLoadReport& report) {
    for (const std::string& table : package_import::IncompleteTables(report, "child.db"))
        NoteIncomplete(table);
}

void CPackageImport::CreateChildTables(DbHandle& child) {
    if (Cancelled()) return;
    common::CStopScope stopScope(m_pProgress ? &m_pProgress->CancelFlag() : nullptr);
    const std::string& dump = m_paths.SqlDumpPath();
    if (!workspace::SplitSqlDump(dump, m_paths.RowStatementsPath(), m_paths.TableDefinitionsPath(),
                                 ReportConversion(m_pProgress, ImportStep::kSplitting, dump))) {
        NoteIncomplete("sub_table_sms.sql");
    }
    if (Cancelled()) return;
    // Package SQL may not grow child.db without bound (a few bytes of recursive query can
    // fill a disk); the background load runs on this connection, within the same bound.
    UseChildPageSize(child);
    workspace::LimitDatabaseSize(child.db, ChildDatabaseBound(SizeOf(dump)));
    workspace::SLoadReport report;
    if (workspace::RunSqlFile(child, m_paths.TableDefinitionsPath(), &report) == 0)
        ++report.nFailed;
    for (const std::string& table : package_import::IncompleteTables(report, "child.db"))
        NoteIncomplete(table);
    std::fflush(stdout);
}

int CPackageImport::LoadChildRows(DbHandle& child) {
    workspace::SLoadReport report;
    int result =
        workspace::InsertRowStatements(child, m_paths.RowStatementsPath(), nullptr, &report);
    if (result == 0) ++report.nFailed;
    for (const std::string& table : package_import::IncompleteTables(report, "child.db"))
        NoteIncomplete(table);
    std::fflush(stdout);
    return result;
}

}  // namespace package_import
