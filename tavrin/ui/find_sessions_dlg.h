// CFindSessionsDlg: the "Find in sessions…" window of the main dialog. A text field, the
// scope (the open package or every package imported in this run), a status line and the list
// of hits (CFindHitsModel) with each match marked. The search runs on a thread of its own
// (CSessionSearchRunner): a new search stops the one under way, and hiding the window, closing
// the main dialog or destroying this window stops it too, so the window thread never waits on
// package data beyond a stop. At most the first 1,000 hits are listed and all are counted;
// packages whose index is not complete are named with how far their build is.
// Enter on a hit or a double-click starts its session's player (tavrin/ui/find_hit_dispatch.h).
// User-interface thread only.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

#include "tavrin/find/session_search.h"
#include "tavrin/find/session_search_runner.h"

namespace common {
class CWindowKeys;
}  // namespace common
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
struct DbHandle;

namespace ui {

class CFindHitsModel;

// One package the window may search.
struct SFindPackage {
    std::string strName;           // package name, as the file system takes it
    std::string strWorkFolder;     // {program folder}/{name}
    bool bReady = false;           // its background load has finished
    bool bOpen = false;            // the package the main dialog shows
    DbHandle* pChildDb = nullptr;  // its open child.db, or null
};

class CFindSessionsDlg : public QDialog {
    Q_OBJECT
  public:
    using PackagesSource = std::function<std::vector<SFindPackage>()>;

    // owner: the main dialog (a close of it stops the search and closes this window).
    // programFolder: where players live. packages: asked at each search and each dispatch.
    CFindSessionsDlg(QWidget* owner, std::string programFolder, PackagesSource packages);
    ~CFindSessionsDlg() override;

    // Shows and raises the window with the text field focused and selected.
    void Activate();
    // Starts a search for the field's text over the chosen scope (an empty text does nothing).
    void OnFind();
    // Starts the player of the hit in row nRow (Enter, double-click).
    void OnHitActivated(int nRow);
    // Stops the running search, if any; the status says nothing more about it.
    void StopSearch();
    bool IsSearching() const { return m_bSearching; }

    static constexpr std::size_t kMaxShownHits = 1000;

    QLineEdit* m_editText = nullptr;
    QComboBox* m_comboScope = nullptr;  // 0 the open package, 1 every imported package
    QPushButton* m_btnFind = nullptr;
    QLabel* m_staticStatus = nullptr;
    QTableView* m_list = nullptr;
    CFindHitsModel* m_pModel = nullptr;

  signals:
    // A search has ended and its hits are listed (tests wait for it).
    void SearchFinished();

  protected:
    // Watches the main dialog's close.
    bool eventFilter(QObject* watched, QEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    // The first page of a search that goes on counting: its hits listed, the status says the
    // rest are being counted.
    void ShowPage(std::uint64_t nSearch, const session_index::SessionSearchResult& page);
    // The search's end: the status with every hit counted; the hits listed unless its page
    // already listed them (the same hits: the selection stays).
    void ShowResult(std::uint64_t nSearch, const session_index::SessionSearchResult& result);

    common::CWindowKeys* m_pKeys = nullptr;  // Enter on a hit plays it; owned by the window
    std::string m_strProgramFolder;
    PackagesSource m_packages;
    session_index::CSessionSearchRunner m_runner;
    std::string m_strQuery;  // the text of the hits listed
    bool m_bSearching = false;
    bool m_bPageShown = false;  // the running search's first page is listed
};

}  // namespace ui
