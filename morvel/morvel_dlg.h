// CMorvelDlg: the viewer's window. It shows one session's scan lines 25 a page in a CMyView
// above a row of paging controls (template 102 of the language module), and holds the whole
// state of a run. Its construction parses the command line and runs OnInitDialog: the lines are
// loaded, page 1 is shown and the process enters the registry; it leaves the registry however
// the window ends (closed, Escape, or the destructor). Beyond the buttons, Page Up / Page Down
// page, a label names the page on show, and a find field (Ctrl+F, Enter, F3) jumps to the page
// of the next occurrence of its text. User-interface thread only.
#pragma once

#include <QDialog>
#include <QIcon>
#include <optional>
#include <string>
#include <vector>

#include "common/viewer_find_field.h"
#include "morvel/text_search.h"

namespace common {
class CLangModule;
class CWindowKeys;
}  // namespace common
class QKeyEvent;
class CMyView;
class QLabel;
class QLineEdit;
class QPushButton;

class CMorvelDlg : public QDialog {
    Q_OBJECT
  public:
    // lang must stay loaded while the dialog exists. commandLineText is the text after the
    // program name (see morvel/command_line.h); programFolder holds the packages and the
    // registry folder "processid".
    CMorvelDlg(const common::CLangModule& lang, const std::string& commandLineText,
               const std::string& programFolder, QWidget* parent = nullptr);
    ~CMorvelDlg() override;

    // Page handlers of buttons 1002, 1003, 1004 and 1007.
    void OnFirstPage();
    void OnPrevPage();
    void OnNextPage();
    void OnGotoPage();
    // Page Up / Page Down: the previous or next page, only while that button is enabled.
    void OnPageUpKey();
    void OnPageDownKey();
    // Ctrl+F: puts the focus on the find field with its text selected.
    void OnFindKey();
    // Button 1010, Enter in the find field and F3: shows the page of the next occurrence of the
    // find field's text (after the last one found while its page is on show, else from the top
    // of the page on show; wrapping at the end). No occurrence: message 134.
    void OnFindNext();
    // The fifth field of the command line: shows the page of the first occurrence of its text
    // from its line on (wrapping), highlighted, with the text in the find field; without an
    // occurrence the first page stays, and no message is shown. Called by the constructor.
    void ShowFirstMatch(const common::SViewerFind& find);
    // Row (0 to 24) of the page on show that holds the last occurrence found, or -1.
    int MatchRowOnPage() const;

    // Puts page `page` of the lines in use into m_pageLines (empty beyond the last page) and
    // widens the view to it.
    void FillPage(int page);
    // Sets the view's extent for the longest line of m_pageLines (7.15 pixels a character).
    void WidenView();

    std::string m_strSessionName;
    std::string m_strPackage;
    std::string m_strParentDb;
    std::vector<std::string> m_dbaNames;
    std::vector<std::string> m_scanLines;
    CMyView* m_pView = nullptr;              // child window, owned by the dialog
    common::CWindowKeys* m_pKeys = nullptr;  // the window's keys (HandleKey); owned by the dialog
    std::string m_strProgramFolder;
    int m_nSource = 2;
    int m_nTotalLines = 0;
    int m_nPage = 1;
    int m_nPageCount = 0;
    std::string m_strPidFile;
    std::vector<std::string> m_dbaLines;
    std::vector<std::string> m_pageLines;
    QIcon m_hIcon;
    QLabel* m_staticLineCount = nullptr;
    QPushButton* m_btnFirstPage = nullptr;
    QPushButton* m_btnPrevPage = nullptr;
    QPushButton* m_btnNextPage = nullptr;
    QLineEdit* m_editGotoPage = nullptr;
    QLabel* m_staticPageCount = nullptr;
    QPushButton* m_btnGotoPage = nullptr;
    QLabel* m_staticCurrentPage = nullptr;         // 1008: "page n of m"
    QLineEdit* m_editFind = nullptr;               // 1009
    QPushButton* m_btnFindNext = nullptr;          // 1010
    std::optional<morvel::ScanMatch> m_findMatch;  // last occurrence found, drawn highlighted
    QString m_strFindText;                         // the text m_findMatch was found for

    // Ends the window however it is asked to (close, Escape, Enter on a default button);
    // every way leaves the registry first.
    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Page Up, Page Down, Ctrl+F, F3 and Enter in the find field: true when key was taken.
    bool HandleKey(QWidget* target, const QKeyEvent& key);
    bool OnInitDialog();
    void LoadSessionLines();
    // Enables the paging buttons for m_nPage and shows the current page in 1008.
    void EnableButtons();
    void ShowPage(int page);
    void RepaintView();
    void LeaveRegistry();
    const std::vector<std::string>& LinesInUse() const;

    const common::CLangModule& m_lang;
    bool m_bRegistered = false;
};
