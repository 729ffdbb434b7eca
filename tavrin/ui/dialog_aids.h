// CAuditorExtras: what auditors expect of the main dialog beyond its own commands, attached
// to a CTavrinDlg as a child object:
//   - the export button (1040): every row of the current view and filter to a CSV file
//     (export_button.cpp, the writing itself in tavrin/browser/csv_export.h);
//   - the package fingerprint: the SHA-256 of each imported package file, shown as the
//     tooltip of the package name field (1002) and written to the console;
//   - the open-file dialog starting in the folder of the last package opened
//     (tavrin/ui/last_folder.h);
//   - .tar files dropped onto the window are imported in turn (package_drop.cpp).
// The aids know the dialog only through what it hands them: the browser model they read, the
// list (its headers), the Open button (whether an import may start) and the importRequested
// signal, which the dialog connects to its import. User-interface thread only.
#pragma once

#include <map>
#include <string>

#include <QObject>
#include <QString>
#include <QStringList>

#include "tavrin/ui/last_folder.h"

class CListCtrlEx;
class QMimeData;
class QPushButton;
namespace browser {
class CBrowserModel;
}

namespace ui {

class CAuditorExtras : public QObject {
    Q_OBJECT
  public:
    // The extras of window (their parent): browser, list and btnOpen (the Open button, whose
    // state says whether an import may start) are the window's and must outlive them.
    CAuditorExtras(QWidget& window, const browser::CBrowserModel& browser, const CListCtrlEx& list,
                   const QPushButton& btnOpen);
    ~CAuditorExtras() override;

    // Button 1040: asks for a file (save-file prompt) and writes the current view to it,
    // with a progress dialog that can cancel; tells the user how it went.
    void OnExport();

    // Asks for the package files to be imported one after the other (importRequested, once
    // per path), as the Open command would after each was chosen. A direct connection runs
    // each import to its end, messages included, before the next one starts.
    void ImportInTurn(const QStringList& paths);
    // Queues ImportInTurn of paths (made absolute) for when the event loop runs: the packages
    // named on Tavrin's command line.
    void ImportInTurnWhenShown(const QStringList& paths);

    // After an import: writes the fingerprint line to standard output, records it for the
    // package and shows it for strName. An empty sha256 (the file could not be read) shows
    // that instead.
    void RecordImportFingerprint(const QString& strName, const QString& path,
                                 const std::string& sha256);

    // The tooltip of field 1002 for package strName (the one the window names): the
    // fingerprint's text, or nothing when the package has none recorded.
    void ShowFingerprint(const QString& strName);
    QString Fingerprint(const QString& strName) const;

    CLastFolder& LastFolder() { return m_lastFolder; }
    // Points the remembered folder at another settings file (tests).
    void SetSettingsFile(const QString& file) { m_lastFolder = CLastFolder(file); }

    QPushButton* m_btnExport = nullptr;  // 1040, from the template or made here

  signals:
    // The package file at path is to be imported, as if chosen in the Open dialog.
    void importRequested(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    bool HandleDrag(QEvent* e);                                // package_drop.cpp
    QStringList DroppedPackages(const QMimeData* mime) const;  // package_drop.cpp

    QWidget& m_window;
    const browser::CBrowserModel& m_browser;
    const CListCtrlEx& m_list;
    const QPushButton& m_btnOpen;
    CLastFolder m_lastFolder;
    std::map<QString, QString> m_fingerprints;  // package name -> SHA-256 (hex)
    bool m_bImportingInTurn = false;
};

}  // namespace ui
