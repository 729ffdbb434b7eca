// Records the main dialog keeps for a run: one per imported package and one per status-ticker
// entry. User-interface thread only.
#pragma once

#include <memory>

#include <QString>

#include "common/db_handle.h"

// One package imported in this run (element of CTavrinDlg::m_packages, in import order).
// The record owns its two database handles; the dialog's m_pParentDb/m_pChildDb point into
// the open package's record. Shutdown frees the handles after their connections are closed.
struct MyStruct {
    std::unique_ptr<DbHandle> pParentDb;  // the package's Parent.db
    QString strName;                      // package name (file name without ".tar")
    std::unique_ptr<DbHandle> pChildDb;   // the package's child.db
    int bHasTabTable = 0;                 // 1 when its vsms_xapp_tab dump is present and not empty
    int bHasMatrixTable = 0;              // 1 when its w_text_matrix dump is present and not empty
};

// One status-ticker entry (element of CTavrinDlg::m_states). bDone is also the package's
// readiness for the players that read its databases: 0 while a background load runs, 1 once
// every one has ended.
struct stateData {
    QString strName;
    bool bDone = false;
    bool bIncomplete = false;  // the background load ended without all of its rows
    // Background loads of the package still running (child.db, the rest of Parent.db); bDone
    // is set when the last one ends.
    int nLoadsRunning = 1;
};
