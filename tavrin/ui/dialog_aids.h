// CAuditorExtras: what auditors expect of the main dialog beyond its own commands, attached
// to a CTavrinDlg as a child object:
//   - the export button (1040): every row of the current view and filter to a CSV file
//     (export_button.cpp, the writing itself in tavrin/browser/csv_export.h);
//   - the package fingerprint: the SHA-256 of each imported package file, shown as the
//     tooltip of the package name field (1002) and written to the console;
//   - the open-file dialog starting in the folder of the last package opened
//     (tavrin/ui/last_folder.h);
//   - .tar files dropped onto the window are imported in turn (package_drop.cpp);
//   - keys: Page Up / Page Down, Home / End, Enter in the page field and on a row, Ctrl+F
//     and F5 (dialog_keys.cpp).
// The dialog's own behaviour is unchanged: every aid drives the dialog's existing handlers.
// User-interface thread only.
#pragma once

#include <map>
#include <string>

#include <QObject>
#include <QString>
#include <QStringList>

#include "tavrin/ui/last_folder.h"

class CTavrinDlg;
class QKeyEvent;
class QMimeData;
class QPushButton;

class CAuditorExtras : public QObject {
    Q_OBJECT
  public:
    // The dialog's extras, created on the first call (a child of the dialog, deleted with
    // it); later calls return the same object. Sets dlg.m_pAuditorExtras.
    static CAuditorExtras& Attach(CTavrinDlg& dlg);
    ~CAuditorExtras() override;

    // Button 1040: asks for a file (save-file prompt) and writes the current view to it,
    // with a progress dialog that can cancel; tells the user how it went.
    void OnExport();

    // Imports the package files one after the other, as the Open command would after each
    // was chosen. An import that shows a message finishes before the next one starts.
    void ImportInTurn(const QStringList& paths);

    // Fingerprints by package name, of packages imported in this run.
    void RecordFingerprint(const QString& strName, const std::string& sha256);
    // The tooltip of field 1002 for the dialog's current package name: the fingerprint's
    // text, or nothing when the package has none recorded.
    void ShowFingerprint();
    QString Fingerprint(const QString& strName) const;

    auditor::CLastFolder& LastFolder() { return m_lastFolder; }
    // Points the remembered folder at another settings file (tests).
    void SetSettingsFile(const QString& file) { m_lastFolder = auditor::CLastFolder(file); }

    QPushButton* m_btnExport = nullptr;  // 1040, from the template or made here

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    explicit CAuditorExtras(CTavrinDlg& dlg);
    bool HandleKey(QObject* watched, const QKeyEvent& key);    // dialog_keys.cpp
    bool HandleDrag(QEvent* e);                                // package_drop.cpp
    QStringList DroppedPackages(const QMimeData* mime) const;  // package_drop.cpp

    CTavrinDlg& m_dlg;
    auditor::CLastFolder m_lastFolder;
    std::map<QString, QString> m_fingerprints;  // package name -> SHA-256 (hex)
    bool m_bImportingInTurn = false;
};

// Hooks for the import code of the dialog (tavrin_dlg_import.cpp); each attaches the extras
// when needed.
// The folder the open-file dialog starts in: the last package's, or empty text.
QString LastPackageFolder(CTavrinDlg& dlg);
// Remembers the folder of a package file the user chose (dialog, command line or drop).
void RememberPackageFolder(CTavrinDlg& dlg, const QString& packagePath);
// Refreshes the tooltip of 1002 for dlg.m_strPackageName.
void ShowPackageFingerprint(CTavrinDlg& dlg);
// After an import: writes the fingerprint line to standard output, records it for the
// package and shows it. An empty sha256 (the file could not be read) shows that instead.
void RecordPackageFingerprint(CTavrinDlg& dlg, const QString& strName, const QString& path,
                              const std::string& sha256);
// Queues the imports of paths (made absolute) to run in turn once the event loop runs: the
// packages named on Tavrin's command line.
void ImportPackagesWhenShown(CTavrinDlg& dlg, const QStringList& paths);
