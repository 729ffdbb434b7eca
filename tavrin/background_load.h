// The background loads of the main dialog: one loader thread per imported package, each with
// a parameter block of its own (CTavrinDlg::m_workerParam), so overlapping imports never share
// or overwrite a block.
//
// When a loader has executed its row statements it posts CLoadFinishedEvent with its package
// name to the dialog (the ticker turns the entry to "loaded"; a load that left tables short
// turns it to "did not load completely" instead and is told to the user), and then, on the
// user-interface thread, closes the package's child connection unless that package is the open one:
// a package switch leaves a connection that a loader still uses open for it (see
// IsBackgroundLoadRunning), and the loader's end closes it.
//
// All functions: user-interface thread only.
#pragma once

#include <string>
#include <vector>

#include <QString>

class CTavrinDlg;
struct DbHandle;

// Starts the loader of package strName: loads the row-statements file strSqlFile into child
// (open) on a thread of its own. The block and the thread are kept by the dialog until
// StopBackgroundLoads or the dialog's end.
void StartBackgroundLoad(CTavrinDlg& dlg, DbHandle* child, const QString& strName,
                         const std::string& strSqlFile);

// True while a loader of this dialog still uses the child handle's connection; such a
// connection must be neither closed nor reopened.
bool IsBackgroundLoadRunning(const CTavrinDlg& dlg, const DbHandle* child);

// Tells the user that package strName did not load completely, naming the tables (message
// 230, at most a screenful of names), unless the dialog is closing. Used for the import's own
// steps and, when a background load fails, together with the ticker's "did not load
// completely" for that package.
void ShowIncompleteLoad(CTavrinDlg& dlg, const QString& strName,
                        const std::vector<std::string>& tables);

// Stops every loader that still runs (its statement is interrupted and its transaction
// rolled back) and joins every loader thread. Afterwards no loader uses any connection, so
// the close handler may close them all; call it before that. Completion events that the
// loaders post meanwhile still reach the dialog. Safe to call more than once.
void StopBackgroundLoads(CTavrinDlg& dlg);
