#include "tavrin/import/package_import.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <utility>
#include <vector>

#include "common/console_text.h"
#include "common/db_handle.h"
#include "common/sql_stop.h"
#include "platform/disk_space.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
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
    HardenEveryConnection();
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

UnpackOutcome CPackageImport::Unpack(const std::string& str7zCommand) {
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
    ArchiverResult result;
    if (m_pProgress) {
        CImportProgress& progress = *m_pProgress;
        progress.BeginStep(ImportStep::kUnpacking, m_strPackagePath, 100);
        SArchiverWatch watch;
        watch.onPercent = [&progress](int nPercent) {
            progress.SetDone(static_cast<std::uint64_t>(nPercent));
        };
        watch.shouldStop = [&progress] { return progress.CancelRequested(); };
        result = RunArchiver(str7zCommand, m_strPackagePath, work, watch);
        if (result.stopped) return UnpackOutcome::kCancelled;
    } else {
        result = RunArchiver(str7zCommand, m_strPackagePath, work);
    }
    if (!result.started) return UnpackOutcome::kNotStarted;
    // Nothing the archive left may lead a read or a write out of the work folder or block it,
    // and nothing it left stands where the import writes: what the import makes is made fresh.
    SUnpackAudit audit = AuditUnpackedFolder(work);
    SUnpackAudit planted = RemovePlantedOutputs(work, m_paths.ImportOutputPaths());
    // Whatever the archiver says, a package is only usable when its dumps are there; and a
    // package the archiver complained about, or one that held unsafe entries, may be missing
    // some of them.
    if (!platform::IsDirectory(m_paths.DumpFolder())) return UnpackOutcome::kNotAPackage;
    return result.Succeeded() && !audit.Damaged() && !planted.Damaged() ? UnpackOutcome::kUnpacked
                                                                        : UnpackOutcome::kDamaged;
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
    if (Cancelled()) return;
    // A missing source is no conversion failure: the optional text matrix is then absent, and
    // the load of a missing scan dump reports its table.
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
    for (const char* scan : {"utm_dba_scan", "utm_xapp_scan"}) {
        const std::string file = std::string(scan) + ".bak";
        const std::string source = m_paths.DumpPath(file);
        if (!workspace::DoubleEscapedQuotes(
                source, m_paths.WorkPath(file),
                ReportConversion(m_pProgress, ImportStep::kConverting, source)) &&
            platform::PathExists(source)) {
            NoteIncomplete(scan);
        }
        if (Cancelled()) return;
    }
}

namespace {

// Runs one dot-command with its arguments exactly as given.
int RunCommand(ShellState& state, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return shell::runDotCommand(static_cast<int>(args.size()), argv.data(), state);
}

}  // namespace

void CPackageImport::LoadParentDb() {
    if (Cancelled()) return;
    common::CStopScope stopScope(m_pProgress ? &m_pProgress->CancelFlag() : nullptr);
    ShellState state;
    // The work databases are rebuilt from the package whenever needed, so the loads need no
    // journal file or synchronous writes; each import still ends consistent.
    state.m_bFastImport = true;
    state.m_fnImportProgress = ReportBytes(m_pProgress);
    shell::openShell(state, m_paths.ParentDbPath().c_str());
    std::fflush(stdout);

    // Each dump is announced before it loads; after a cancel request nothing more loads.
    auto import = [&](const std::string& dump, const char* table) {
        if (Cancelled()) return;
        if (m_pProgress) m_pProgress->BeginStep(ImportStep::kLoading, dump, SizeOf(dump));
        // The engine rolls the whole table back on one bad line; that must not pass unseen.
        if (RunCommand(state, {"import", dump, table}) != 0) NoteIncomplete(table);
        if (m_pProgress) m_pProgress->SetDone(SizeOf(dump));
    };
    if (RunCommand(state, {"read", m_paths.TableScriptPath()}) != 0) NoteIncomplete("table.sql");
    RunCommand(state, {"separator", "\t"});
    for (const char* table :
         {"unix_sms_log", "unix_vsms_log", "unix_xapp_log", "utm2dba", "unix_xfer_log"}) {
        import(m_paths.DumpPath(std::string(table) + ".bak"), table);
    }
    RunCommand(state, {"separator", ","});
    import(m_paths.WorkPath("utm_xapp_scan.bak"), "utm_xapp_scan");
    import(m_paths.WorkPath("utm_dba_scan.bak"), "utm_dba_scan");
    if (m_bHasTabTable) import(m_paths.DumpPath("vsms_xapp_tab.bak"), "vsms_xapp_tab");
    if (m_bHasMatrixTable) import(m_paths.DumpPath("w_text_matrix1.bak"), "w_text_matrix");
    shell::closeShell(state);
    std::fflush(stdout);
}

namespace {

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
