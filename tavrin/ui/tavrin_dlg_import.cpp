// The package import's part of the main dialog: importing, switching and deleting packages.
// The work that needs no window is CPackageImport's (tavrin/import/package_import.h); this file
// drives it and keeps the dialog's records, controls and open package in step.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <memory>
#include <set>
#include <thread>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "common/qt/user_prompts.h"
#include "platform/codepage.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "tavrin/browser/loaded_tables.h"
#include "tavrin/import/archive_extractor.h"
#include "tavrin/import/archiver_version.h"
#include "tavrin/import/import_progress.h"
#include "tavrin/import/leftover_work_folder.h"
#include "tavrin/import/package_import.h"
#include "tavrin/ui/audit_combo_box.h"
#include "tavrin/ui/background_load.h"
#include "tavrin/ui/dialog_aids.h"
#include "tavrin/ui/dialog_events.h"
#include "tavrin/ui/dialog_strings.h"
#include "tavrin/ui/import_progress_dialog.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/load_report_strings.h"
#include "tavrin/ui/package_combo_box.h"
#include "tavrin/ui/package_fingerprint.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"
#include "tavrin/workspace/date_range.h"
#include "tavrin/workspace/insert_worker.h"
#include "tavrin/workspace/package_flags.h"
#include "tavrin/workspace/package_name.h"
#include "tavrin/workspace/workspace_paths.h"

struct CTavrinDlg::SImportSteps {
    // Marks the dialog as running an import for the lifetime of the object, so that a close
    // arriving meanwhile waits for the import to give up.
    class CRunningImport {
      public:
        CRunningImport(CTavrinDlg& dlg, package_import::CImportProgress& progress) : m_dlg(dlg) {
            m_dlg.m_pRunningImport = &progress;
        }
        ~CRunningImport() { m_dlg.m_pRunningImport = nullptr; }
        CRunningImport(const CRunningImport&) = delete;
        CRunningImport& operator=(const CRunningImport&) = delete;

      private:
        CTavrinDlg& m_dlg;
    };

    // Steps 1 and 2 of the import: lock the controls an import must not race with, and empty the
    // filter, in the fields too, so that nothing brings the old texts back.
    static void BeginImport(CTavrinDlg& dlg) {
        dlg.m_btnOpen->setEnabled(false);
        dlg.m_comboPackage->setEnabled(false);
        dlg.m_comboAudit->setEnabled(false);
        dlg.m_btnSearch->setEnabled(false);
        dlg.ClearFilters();
    }

    // Step 30, which runs however the import ended, so that no failure leaves the window locked.
    static void EndImport(CTavrinDlg& dlg) {
        dlg.m_comboPackage->setEnabled(true);
        dlg.m_comboAudit->setEnabled(true);
        dlg.m_btnSearch->setEnabled(!dlg.m_packages.empty());
        dlg.m_btnOpen->setEnabled(true);
        dlg.UpdateData(false);
    }

    static bool HasValidDates(const std::string& strStart, const std::string& strEnd) {
        return workspace::ParseDateField(strStart) && workspace::ParseDateField(strEnd);
    }

    // The combo of imported packages shows the open one.
    static void SelectPackageEntry(CTavrinDlg& dlg, const QString& strName) {
        dlg.m_comboPackage->setCurrentIndex(
            dlg.m_comboPackage->findText(strName, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }

    static MyStruct* FindPackage(CTavrinDlg& dlg, const QString& strName) {
        for (MyStruct& package : dlg.m_packages) {
            if (package.strName == strName) return &package;
        }
        return nullptr;
    }

    // Closes the open package's connections and leaves no package open. The child connection of
    // a package whose background load still runs stays open for the loader; the loader's end
    // closes it (CloseIdleChild) unless the package is open again by then.
    static void CloseOpenPackage(CTavrinDlg& dlg) {
        if (dlg.m_pParentDb && dlg.m_pChildDb) {
            dlg.m_pParentDb->Close();
            if (!dlg.m_loads.IsRunning(dlg.m_pChildDb)) dlg.m_pChildDb->Close();
        }
        dlg.m_pParentDb = nullptr;
        dlg.m_pChildDb = nullptr;
    }

    // Runs on the user-interface thread after a loader ended: its connection is no longer needed
    // unless its package is the open one (or has been opened again meanwhile). The loader marks
    // itself finished just after its completion hook, so a moment later is asked again.
    static void CloseIdleChild(CTavrinDlg* pDlg, const QString& strName) {
        for (MyStruct& package : pDlg->m_packages) {
            if (package.strName != strName) continue;
            DbHandle* child = package.pChildDb.get();
            if (!child || child == pDlg->m_pChildDb) return;
            if (pDlg->m_loads.IsRunning(child)) {
                QTimer::singleShot(10, pDlg, [pDlg, strName] { CloseIdleChild(pDlg, strName); });
            } else {
                child->Close();
            }
            return;
        }
    }

    // Tells the user that package strName did not load completely, naming the tables (message
    // 230, at most a screenful of names), unless the dialog is closing.
    static void ShowIncompleteLoad(CTavrinDlg& dlg, const QString& strName,
                                   const std::vector<std::string>& tables) {
        if (tables.empty() || dlg.ClosePending()) return;
        constexpr std::size_t kMostNamed = 20;
        QStringList names;
        for (std::size_t i = 0; i < tables.size() && i < kMostNamed; ++i)
            names << QString::fromStdU16String(platform::AnsiToUtf16(tables[i]));
        if (tables.size() > kMostNamed)
            names << QStringLiteral("… (%1)").arg(tables.size() - kMostNamed);
        common::ShowMessage(ui::ResString(ui::kStrLoadIncompleteTables)
                                .arg(strName, names.join(QStringLiteral(", "))));
    }

    // While an import runs, tries again a little later and says true: what a background load
    // has to show or start waits for the import's end. On the window thread.
    template <typename F>
    static bool DeferWhileImporting(CTavrinDlg* pDlg, F again) {
        if (!pDlg->m_pRunningImport) return false;
        QTimer::singleShot(50, pDlg, std::move(again));
        return true;
    }

    // Marks the package's ticker entry and tells the user; on the user-interface thread.
    static void ReportFailedLoad(CTavrinDlg* pDlg, const QString& strName,
                                 const std::vector<std::string>& tables) {
        // child.db loads beside the import: its message waits until the import has ended, so it
        // neither interrupts the progress window nor comes before the import's own.
        if (DeferWhileImporting(pDlg, [=] { ReportFailedLoad(pDlg, strName, tables); })) return;
        for (stateData& state : pDlg->m_states) {
            if (state.strName == strName) state.bIncomplete = true;
        }
        ShowIncompleteLoad(*pDlg, strName, tables);
    }

    // Says on the console why a package's text index could not be built (the ticker shows that
    // it failed); on the index's thread.
    static void PrintFailedIndex(const std::string& strName,
                                 const session_index::SessionIndexOutcome& outcome) {
        if (outcome.status == session_index::IndexStatus::kFailed)
            std::fprintf(stderr, "text index of %s failed: %s\n", strName.c_str(),
                         outcome.strError.c_str());
    }

    // The text index reads Parent.db too: it is queued once the package has loaded, for a package
    // that is still there and not while closing.
    static void QueueIndex(CTavrinDlg* pDlg, const QString& strName,
                           const session_index::SessionIndexInputs& index) {
        if (pDlg->ClosePending()) return;
        if (FindPackage(*pDlg, strName))
            pDlg->m_indexes.Queue(strName.toStdString(), index, PrintFailedIndex);
    }

    // One background load of the package has ended: the package reads as loaded once every one
    // has, and once its import has ended too (a child.db that loads faster than Parent.db does
    // not make a package ready that is not even listed yet); then its text index is queued,
    // unless bIndex is false (a stopped load).
    static void LoadEnded(CTavrinDlg* pDlg, const QString& strName,
                          const session_index::SessionIndexInputs& index, bool bIndex) {
        if (DeferWhileImporting(pDlg, [=] { LoadEnded(pDlg, strName, index, bIndex); })) return;
        ui::PostDialogEvent(pDlg, new ui::CLoadFinishedEvent(strName));
        if (!bIndex) return;
        // Posted after the event, so it sees the entry as the event left it.
        ui::PostDialogCall(pDlg, [pDlg, strName, index] {
            for (const stateData& state : pDlg->m_states) {
                if (state.strName == strName && state.bDone) QueueIndex(pDlg, strName, index);
            }
        });
    }

    // A view shown as loading is shown once its tables are in, if its package is still the open
    // one and no import is changing the window meanwhile. On the window thread.
    static void ShowViewWhenLoaded(CTavrinDlg* pDlg, const QString& strName) {
        if (DeferWhileImporting(pDlg, [=] { ShowViewWhenLoaded(pDlg, strName); })) return;
        if (pDlg->ClosePending() || !pDlg->m_pParentDb || pDlg->m_strPackageName != strName) return;
        if (pDlg->m_browser.ViewBecameLoaded()) pDlg->OnFirstPage();
    }

    // The rest of Parent.db (the dumps after unix_sms_log) on a thread of its own, once the
    // first page is shown. Each table that is in is marked in tables and a view waiting for it
    // is shown; the end is posted as the child.db loader's is (the package reads as loaded when
    // both have ended; tables left short are told). Known to m_loads by the package's parent
    // handle. Stopped at close and SIGTERM like the other loads; a package switch leaves it
    // running.
    static void StartLaterDumpsLoad(CTavrinDlg& dlg, const QString& strName, DbHandle& parent,
                                    const package_import::CPackageImport& import,
                                    std::shared_ptr<browser::CLoadedTables> tables) {
        CTavrinDlg* pDlg = &dlg;
        dlg.m_loads.KeepLoadedTables(strName.toStdString(), tables);
        const workspace::CWorkspacePaths paths = import.Paths();
        const session_index::SessionIndexInputs index =
            session_index::IndexInputsForWorkFolder(paths.WorkFolder());
        const bool bTab = import.HasTabTable();
        const bool bMatrix = import.HasMatrixTable();
        auto load = [paths, bTab, bMatrix, tables, pDlg, strName](WorkerParam& param) {
            package_import::LoadLaterDumps(
                paths, bTab, bMatrix, &param.bStopRequested, param.report,
                [tables, pDlg, strName](const std::string& table) {
                    tables->MarkLoaded(table);
                    ui::PostDialogCall(pDlg,
                                       [pDlg, strName] { ShowViewWhenLoaded(pDlg, strName); });
                });
            return 1;
        };
        dlg.m_loads.Start(
            &parent, strName.toStdString(), paths.ParentDbPath(),
            [pDlg, strName, tables, index](const workspace::SLoadReport& report) {
                if (report.bStopped) return;  // closing, or an abandoned import
                tables->MarkAllLoaded();
                const std::vector<std::string> failed =
                    package_import::IncompleteTables(report, "Parent.db");
                package_import::PrintIncompleteTables(failed);
                ui::PostDialogCall(
                    pDlg, [pDlg, strName, index] { LoadEnded(pDlg, strName, index, true); });
                if (!failed.empty())
                    ui::PostDialogCall(
                        pDlg, [pDlg, strName, failed] { ReportFailedLoad(pDlg, strName, failed); });
                ui::PostDialogCall(pDlg, [pDlg, strName] { ShowViewWhenLoaded(pDlg, strName); });
            },
            std::move(load));
    }

    // Step 25 as the import sees it: child.db's tables are made on the loader's thread, normally
    // long before Parent.db is done; the import ends only once they are there (the rows go on in
    // the background), showing the step and taking Cancel while it waits. On the progress
    // window's worker thread.
    static void WaitForChildTables(package_import::CImportProgress& progress,
                                   const workspace::CWorkspacePaths& paths,
                                   const std::atomic<bool>& bTablesReady) {
        if (bTablesReady.load()) return;
        progress.BeginStep(package_import::ImportStep::kSplitting, paths.SqlDumpPath(),
                           platform::FileSize(paths.SqlDumpPath()).value_or(0));
        while (!bTablesReady.load() && !progress.CancelRequested())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // Steps 25 and 27: the loader of the package's child.db (the split of the SQL dump, its
    // definitions and its row statements), on the second core while Parent.db loads. Its end is
    // posted to the dialog (the ticker shows the package loaded, or not completely loaded with the
    // tables told) and then closes the connection if it is idle; the package's text index is
    // queued once this load and the rest of Parent.db have ended, unless stopped (closing). The
    // dialog outlives every loader (they are joined before it is destroyed); the queued calls are
    // dropped if the dialog goes first.
    static void StartBackgroundLoad(CTavrinDlg& dlg, const QString& strName, DbHandle& child,
                                    const workspace::CWorkspacePaths& paths,
                                    std::shared_ptr<std::atomic<bool>> pTablesReady) {
        CTavrinDlg* pDlg = &dlg;
        const session_index::SessionIndexInputs index =
            session_index::IndexInputsForWorkFolder(paths.WorkFolder());
        auto load = [paths, pTablesReady](WorkerParam& param) {
            return package_import::LoadChildDatabase(paths, *param.pDatabase, &param.bStopRequested,
                                                     param.report,
                                                     [pTablesReady] { pTablesReady->store(true); });
        };
        dlg.m_loads.Start(
            &child, strName.toStdString(), paths.RowStatementsPath(),
            [pDlg, strName, index](const workspace::SLoadReport& report) {
                const std::vector<std::string> tables =
                    package_import::IncompleteTables(report, "child.db");
                package_import::PrintIncompleteTables(tables);
                const bool bIndex = !report.bStopped;
                ui::PostDialogCall(pDlg, [pDlg, strName, index, bIndex] {
                    LoadEnded(pDlg, strName, index, bIndex);
                });
                if (!tables.empty())
                    ui::PostDialogCall(
                        pDlg, [pDlg, strName, tables] { ReportFailedLoad(pDlg, strName, tables); });
                ui::PostDialogCall(pDlg, [pDlg, strName] { CloseIdleChild(pDlg, strName); });
            },
            std::move(load));
    }

    // Box 1000 names the chosen file while it is imported; an import that fails leaves it naming
    // the file of the package that is open, or nothing when none is.
    class CChosenPath {
      public:
        CChosenPath(CTavrinDlg& dlg, const QString& path)
            : m_dlg(dlg), m_previous(dlg.m_strPackagePath) {
            m_dlg.m_strPackagePath = path;
        }
        ~CChosenPath() {
            if (!m_bKept) m_dlg.m_strPackagePath = m_dlg.m_pParentDb ? m_previous : QString();
        }
        CChosenPath(const CChosenPath&) = delete;
        CChosenPath& operator=(const CChosenPath&) = delete;
        void Keep() { m_bKept = true; }

      private:
        CTavrinDlg& m_dlg;
        QString m_previous;
        bool m_bKept = false;
    };

    // The import of the package file at path, steps 4 to 29.
    static void ImportChosenFile(CTavrinDlg& dlg, const QString& path) {
        CChosenPath chosenPath(dlg, path);  // step 4
        dlg.m_pAuditorExtras->LastFolder().Remember(path);
        const std::string strProgram = platform::ProgramFolder();
        package_import::CPackageImport import(strProgram, path.toStdString());

        if (!import.CheckDiskSpace()) {  // step 5
            common::ShowMessage(ui::ResString(142));
            return;
        }
        if (!import.HasUsableName()) {
            // Its work folder would be the program folder itself, lie outside it, be a file the
            // program needs, or hold files whose names are too long.
            common::ShowMessage(ui::ResString(ui::kStrNotReadablePackage));
            return;
        }
        const QString strChosenName = QString::fromStdString(import.PackageName());
        package_import::EImportStart start = package_import::DecideImportStart(
            package_import::WorkFolderState(import.Paths().WorkFolder()),
            FindPackage(dlg, strChosenName) != nullptr);
        if (start == package_import::EImportStart::kRefuse) {
            common::ShowMessage(ui::ResString(ui::kStrNotReadablePackage));
            return;
        }
        if (start == package_import::EImportStart::kAskLeftover) {
            if (!common::AskYesNo(ui::ResString(ui::kStrLeftoverWorkFolder)))
                return;  // nothing changes
            if (!package_import::DeleteLeftoverWorkFolder(import.Paths().WorkFolder())) {
                common::ShowMessage(ui::ResString(ui::kStrLeftoverNotDeleted));
                return;
            }
        }
        const workspace::PackageName& fields = import.Paths().Package();  // steps 6 and 7
        const QString strName = QString::fromStdString(fields.strName);
        // A name without a valid date range is refused before anything is unpacked or changed.
        if (!HasValidDates(fields.strStartDate, fields.strEndDate)) {
            common::ShowMessage(ui::ResString(ui::kStrInvalidDateRange));
            return;
        }
        // The fields name the package being imported once it has unpacked; a failure before
        // leaves them showing the package that is open, or none.
        auto showName = [&dlg, &fields, &strName] {
            dlg.m_strPackageName = strName;
            dlg.m_strStartDate = QString::fromStdString(fields.strStartDate);
            dlg.m_strEndDate = QString::fromStdString(fields.strEndDate);
            dlg.ShowPackageFingerprint();
        };

        if (start == package_import::EImportStart::kOpenImported) {  // step 8
            if (dlg.OpenPackage(strName)) chosenPath.Keep();
            return;
        }

        // The package file is hashed while it unpacks: the auditor records which file was read.
        ui::CFingerprintTask fingerprint(path.toStdString());
        dlg.DisablePaging();                                   // step 9
        if (import.CreateWorkFolder()) CloseOpenPackage(dlg);  // step 10
        // After a failed unpacking the window shows the package still open, or none.
        auto showOpenPackage = [&dlg] {
            if (!dlg.m_pParentDb || !dlg.OpenPackage(dlg.m_strPackageName)) dlg.ShowNoPackage();
        };

        if (dlg.m_str7zCommand.isEmpty())
            dlg.m_str7zCommand = QString::fromStdString(package_import::Make7zCommand(strProgram));
        const std::string str7zCommand = dlg.m_str7zCommand.toStdString();

        // Unpacking, the conversions and the loads run on a thread of their own behind the
        // progress window; the window only shows, and the dialog keeps repainting and ticking.
        package_import::CImportProgress progress;
        import.SetProgress(&progress);
        CRunningImport running(dlg, progress);
        auto progressWindow = std::make_unique<ui::CImportProgressDialog>(&dlg, progress, strName);

        // Step 11 in two runs of 7-Zip: unix_sms_log's dump alone first, which loads (steps 18
        // to 20) while the second run unpacks the rest on the other core; the first page then
        // waits for the longer of the two rather than for both.
        package_import::UnpackOutcome outcome = package_import::UnpackOutcome::kNotStarted;
        progressWindow->RunStep([&] { outcome = import.UnpackFirstTable(str7zCommand); });
        const bool bFirstReady = outcome == package_import::UnpackOutcome::kUnpacked;
        if (outcome != package_import::UnpackOutcome::kNotStarted &&
            outcome != package_import::UnpackOutcome::kNoSpace &&
            outcome != package_import::UnpackOutcome::kCancelled) {
            import.StartUnpackRest(str7zCommand);
            progressWindow->RunStep([&] {
                if (bFirstReady) import.LoadFirstTable();
                progress.BeginStep(package_import::ImportStep::kUnpacking, import.PackagePath(),
                                   100);
                outcome = import.FinishUnpack();
            });
        }
        if (outcome == package_import::UnpackOutcome::kNotStarted ||
            outcome == package_import::UnpackOutcome::kNotAPackage ||
            outcome == package_import::UnpackOutcome::kCancelled ||
            outcome == package_import::UnpackOutcome::kNoSpace) {
            progressWindow.reset();
            import.RemoveWorkFolder();
            showOpenPackage();
            if (outcome == package_import::UnpackOutcome::kNotAPackage)
                common::ShowMessage(ui::ResString(ui::kStrNotReadablePackage));
            if (outcome == package_import::UnpackOutcome::kNoSpace)
                common::ShowMessage(ui::ResString(142));
            // An archiver too old to unpack safely was refused before it saw the package.
            if (outcome == package_import::UnpackOutcome::kNotStarted && import.ArchiverRefused())
                common::ShowMessage(QString::fromStdString(package_import::ArchiverRefusalText(
                    ui::ResString(ui::kStrArchiverTooOld).toStdString(),
                    import.ArchiverVersion())));
            return;
        }

        // The previous package is closed even when step 10 could not make the folder and the
        // archiver made it: its connections must not stay open behind the new package.
        CloseOpenPackage(dlg);
        showName();

        MyStruct record;
        record.strName = strName;
        record.pParentDb = std::make_unique<DbHandle>();  // step 21
        record.pChildDb = std::make_unique<DbHandle>();
        // child.db loads on the second core from here on, beside Parent.db; its ticker entry is
        // there first, so that the loader's end always finds it. Its file is made only now that
        // the unpacked folder was checked (which removes what the archive put where the import
        // writes).
        OpenDbHandle(*record.pChildDb, import.Paths().ChildDbPath());  // step 24
        dlg.m_states.push_back(stateData{strName, false, false, 2});   // step 26: both loads
        dlg.m_posTicker = dlg.m_states.begin();
        auto stateEntry = std::prev(dlg.m_states.end());
        auto pTablesReady = std::make_shared<std::atomic<bool>>(false);
        StartBackgroundLoad(dlg, strName, *record.pChildDb, import.Paths(), pTablesReady);

        // The first page needs only unix_sms_log: the other dumps load once it is shown.
        progressWindow->RunStep([&] {
            import.ConvertTextMatrix();                 // steps 12 to 16
            if (!bFirstReady) import.LoadFirstTable();  // steps 18 to 20, unix_sms_log
        });
        // A cancelled import ends as a failed unpacking does: no package, no work folder. The
        // child.db loader stops before its connection closes with the record.
        auto abandon = [&] {
            progressWindow.reset();
            dlg.m_loads.Stop(record.pChildDb.get());
            dlg.m_loads.Stop(record.pParentDb.get());
            dlg.m_pParentDb = nullptr;
            dlg.m_pChildDb = nullptr;
            record.pParentDb.reset();
            record.pChildDb.reset();
            dlg.m_states.erase(stateEntry);
            dlg.m_posTicker = dlg.m_states.begin();
            dlg.ShowNoPackage();
            import.RemoveWorkFolder();
        };
        if (import.Cancelled()) return abandon();
        g_bHasTabTable = import.HasTabTable();
        g_bHasMatrixTable = import.HasMatrixTable();
        // The joined view is offered once, by the first package that has its data.
        constexpr int kJoinedIndex = CAuditComboBox::IndexOf(browser::AuditView::Joined);
        if (g_bHasTabTable && dlg.m_comboAudit->count() <= kJoinedIndex)
            dlg.m_comboAudit->insertItem(kJoinedIndex, ui::ResString(161));

        record.bHasTabTable = g_bHasTabTable ? 1 : 0;
        record.bHasMatrixTable = g_bHasMatrixTable ? 1 : 0;
        dlg.m_pParentDb = record.pParentDb.get();
        OpenDbHandle(*dlg.m_pParentDb, import.Paths().ParentDbPath());
        StartLaterDumpsLoad(dlg, strName, *record.pParentDb, import,
                            std::make_shared<browser::CLoadedTables>(
                                std::set<std::string>{"unix_sms_log"}));  // steps 17 to 20

        dlg.BrowseOpenPackage();  // steps 22, 23: the character view, unix_sms_log

        dlg.m_pChildDb = record.pChildDb.get();
        progressWindow->RunStep(
            [&] { WaitForChildTables(progress, import.Paths(), *pTablesReady); });
        if (import.Cancelled()) return abandon();
        progressWindow.reset();

        dlg.m_strWorkerSql = QString::fromStdString(import.Paths().RowStatementsPath());
        // A package whose import left tables short never reads as loaded.
        if (import.LoadIncomplete()) stateEntry->bIncomplete = true;

        dlg.m_comboPackage->addItem(strName);  // step 28
        SelectPackageEntry(dlg, strName);
        dlg.m_packages.push_back(std::move(record));
        chosenPath.Keep();
        if (!dlg.SetDateRange()) return;
        dlg.UpdateData(false);  // step 29
        dlg.m_pAuditorExtras->RecordImportFingerprint(strName, path, fingerprint.Get());

        // A damaged package is said first: it is why tables may be short. child.db loads beside
        // the import, so whether its tables are already known short here depends on timing.
        if (outcome == package_import::UnpackOutcome::kDamaged)
            common::ShowMessage(ui::ResString(ui::kStrPackageDamaged));
        if (import.LoadIncomplete()) ShowIncompleteLoad(dlg, strName, import.IncompleteTables());
    }

    // One import at a time, and none once the dialog is closing or about to.
    static bool ImportMayStart(const CTavrinDlg& dlg) {
        return !dlg.m_pRunningImport && !dlg.ClosePending();
    }
};

void CTavrinDlg::OnOpenPackage() {
    if (!SImportSteps::ImportMayStart(*this)) return;
    SImportSteps::BeginImport(*this);
    const QString path = common::ChooseOpenFileIn(
        ui::ResString(159), m_pAuditorExtras->LastFolder().Folder());  // step 3
    if (!path.isEmpty()) SImportSteps::ImportChosenFile(*this, path);
    SImportSteps::EndImport(*this);
    RunDeferredClose();
}

void CTavrinDlg::ImportPackageFile(const QString& path) {
    if (path.isEmpty() || !SImportSteps::ImportMayStart(*this)) return;
    SImportSteps::BeginImport(*this);
    SImportSteps::ImportChosenFile(*this, path);
    SImportSteps::EndImport(*this);
    RunDeferredClose();
}

bool CTavrinDlg::OpenPackage(const QString& strName) {
    // Everything that can refuse the switch is checked first, so that a refused switch leaves
    // the open package open and shown.
    MyStruct* package = SImportSteps::FindPackage(*this, strName);  // step 5
    if (!package || !package->pParentDb || !package->pChildDb) return false;
    const workspace::PackageName fields =
        workspace::SplitPackageName(strName.toStdString());  // step 7
    if (!SImportSteps::HasValidDates(fields.strStartDate, fields.strEndDate)) {
        common::ShowMessage(ui::ResString(ui::kStrInvalidDateRange));
        return false;
    }

    SImportSteps::CloseOpenPackage(*this);  // step 1
    const workspace::CWorkspacePaths paths(platform::ProgramFolder(),
                                           strName.toStdString());  // step 2
    ClearFilters();  // step 4; steps 3, 8 and 10 are the browser's (BrowseOpenPackage)

    m_pChildDb = package->pChildDb.get();  // step 6
    m_pParentDb = package->pParentDb.get();
    g_bHasTabTable = package->bHasTabTable != 0;
    g_bHasMatrixTable = package->bHasMatrixTable != 0;
    OpenDbHandle(*m_pParentDb, paths.ParentDbPath());
    // A loader still writing keeps its connection open; the package reuses it.
    if (!m_loads.IsRunning(m_pChildDb)) OpenDbHandle(*m_pChildDb, paths.ChildDbPath());

    m_strPackageName = strName;
    m_strStartDate = QString::fromStdString(fields.strStartDate);
    m_strEndDate = QString::fromStdString(fields.strEndDate);
    ShowPackageFingerprint();

    SImportSteps::SelectPackageEntry(*this, strName);

    SetDateRange();       // step 9, dates checked
    BrowseOpenPackage();  // steps 3, 8 and 10: the character view, unix_sms_log
    UpdateData(false);    // step 11
    return true;
}

void CTavrinDlg::OnDeletePackage() {
    const std::string strName = m_strPackageName.toStdString();
    if (strName.empty() || !workspace::IsUsablePackageName(strName)) return;
    const std::string strFolder = platform::JoinPath(platform::ProgramFolder(), strName);
    if (!platform::PathExists(strFolder) || m_pChildDb || m_pParentDb) return;
    // Only a leftover of an earlier run: a package imported in this run keeps its folder
    // until close, and its loader may still be writing there.
    if (SImportSteps::FindPackage(*this, m_strPackageName)) return;
    if (platform::DeleteFolderTree(strFolder)) {
        m_editPackagePath->clear();
        UpdateData(true);
    }
}
