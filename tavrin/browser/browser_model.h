// CBrowserModel: the session browser without a window. It holds the open package, the audit
// view and the table paged through, the filter clause (as the code page's bytes) and the page
// state, runs the browser's queries on the package's Parent.db, and builds the rows of the
// page shown with their records.
//
// Every operation returns a BrowserUpdate: the whole screen the window must show afterwards
// (rows and records, label numbers, button states, layout), the message to show (a string
// id, 0 for none) and the page number to write into the page field, if any. An operation
// either completes or changes nothing: the new screen is built aside and replaces the old one
// at the end. An operation refused (no package open, a move past the first or last page, a
// page number out of range) leaves the screen as it was.
//
// Query texts are the query builder's, byte for byte (tavrin/browser/query_builder.h), counted
// with count(*) (tavrin/browser/browser_db.h); rows are built by tavrin/browser/row_fill.h. Name
// filters compare by code-page character (tavrin/browser/codepage_like.h, registered on the
// connection by Open); a name holding a character the code page lacks matches no row.
//
// Owns no connection: the package's DbHandle is lent by the caller and must stay open (or at
// least alive) until Close() or the next Open(). One thread at a time, normally the
// user-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/db_handle.h"
#include "tavrin/browser/csv_export.h"
#include "tavrin/browser/loaded_tables.h"
#include "tavrin/browser/paging.h"
#include "tavrin/browser/query_builder.h"
#include "tavrin/browser/row_fill.h"

namespace browser {

// String ids of the messages an operation may ask the window to show.
inline constexpr int kMsgPageBeyondLast = 143;   // go to a page above the page count
inline constexpr int kMsgPageNotPositive = 144;  // go to page 0, a negative one, or no digits
inline constexpr int kMsgBadAddress = 145;       // an address filter is no valid IPv4 address

// The package to browse.
struct BrowserPackage {
    std::string strName;            // package name, as the file system has it (UTF-8)
    std::string strPackageFolder;   // "{program folder}/{name}": where rows' files lie
    DbHandle* pParentDb = nullptr;  // its Parent.db; lent, not owned
    bool bHasTabTable = false;      // has vsms_xapp_tab data: the joined view is offered
    bool bHasMatrixTable = false;   // has w_text_matrix data: third graphical action column
    // The tables of Parent.db loaded so far, while its later dumps load in the background;
    // null when every table is there. Shared with the loader.
    std::shared_ptr<const CLoadedTables> pLoaded;
};

// The tables of Parent.db a view queries.
std::vector<std::string> ViewTables(AuditView view);

// Column layout of the list: graphical (xapp, vsms, joined) or character (sms, xfer).
enum class ListLayout { kGraphic = 1, kChar = 2 };

ListLayout LayoutOfView(AuditView view);

// One row of the page: the cells of columns 1 to 7 (column 0 is the row's index on its page;
// the action columns are the window's) and the record player dispatch needs. Character rows
// have charRecord, graphical rows graphicRecord; the other stays default.
struct BrowserRow {
    RowCells cells;
    int nLines = 0;  // character rows: the line count cell 7 shows, as a number
    StringData charRecord;
    drpData graphicRecord;
};

struct BrowserScreen {
    bool bOpen = false;  // a package is open
    std::string strPackageName;
    bool bJoinedOffered = false;  // the open package has vsms_xapp_tab data
    AuditView eView = AuditView::SmsLog;
    ListLayout eLayout = ListLayout::kChar;
    // The graphical layout has the eleventh column (the package's w_text_matrix flag); the
    // character layout always has it.
    bool bMatrixColumn = false;
    // Graphical session kind handed to players: 0 after the xapp view was chosen, 1 after
    // the vsms view; other views keep it.
    int nKind = 0;
    // The labels show the counts (false before the first count and with no package open).
    bool bCounted = false;
    // A table of the view is still loading: no rows and no counts yet, which is not the same
    // as an empty view (the window says it is loading; FirstPage tries again).
    bool bLoading = false;
    PageState page;  // total rows, page count (total / 15 + 1), current page
    // Previous, next, go to. The first-page and search buttons are the window's: enabled
    // once a package is open.
    PageButtons buttons;
    std::vector<BrowserRow> rows;  // the page shown, at most 15, in row order
};

struct BrowserUpdate {
    BrowserScreen screen;  // what to show now
    int nMessage = 0;      // string id of a message box to show, 0 none
    // The number to write into the page field; empty: the field keeps its text (a fresh
    // count leaves the old number there until a move writes it).
    std::optional<int> nPageField;
    bool bRefused = false;  // nothing changed (see above)
};

class CBrowserModel {
  public:
    CBrowserModel() = default;
    CBrowserModel(const CBrowserModel&) = delete;
    CBrowserModel& operator=(const CBrowserModel&) = delete;

    const BrowserScreen& Screen() const { return m_screen; }
    const std::string& FilterClause() const { return m_strFilter; }  // ANSI bytes
    const std::string& Table() const { return m_strTable; }          // current single table
    bool IsOpen() const { return m_screen.bOpen; }
    // The view shown waits for a table still loading, and every table it needs is there now:
    // FirstPage shows it.
    bool ViewBecameLoaded() const;

    // Makes package the open one (import or package switch): registers the code-page LIKE on
    // its connection, the character view, an empty filter clause, the first page of
    // unix_sms_log. The page field keeps its text.
    BrowserUpdate Open(const BrowserPackage& package);
    // No package open: empty list, no counts, paging buttons disabled. The connection lent
    // by Open is not used again.
    BrowserUpdate Close();

    // The view's first page with an empty filter clause (what Open does for the character
    // view). Refused with no package open.
    BrowserUpdate SelectView(AuditView view);
    // A change of audit type by the user: layout and kind of the view, the filter clause
    // rebuilt from values for it, its first page. An invalid address asks for message 145 and
    // the view still loads with the clause built up to that address. Refused with no package
    // open.
    BrowserUpdate ChangeView(AuditView view, const FilterValues& values);
    // The search button: the filter clause from values for the current view, then its first
    // page (layout and table unchanged). An invalid address asks for message 145 and changes
    // nothing: later pages and the export go on with the clause of the rows shown.
    BrowserUpdate Search(const FilterValues& values);

    // Paging with the stored clause; the total is not counted again except by FirstPage.
    BrowserUpdate FirstPage();  // counts again, page 1; writes 1 into the page field
    BrowserUpdate PrevPage();   // refused on page 1; writes the new page number
    BrowserUpdate NextPage();   // refused on the last page; writes the new page number
    // Go to the page typed into the page field (its first 9 characters, leading decimal
    // number): above the page count asks for message 143, below 1 for 144, and changes
    // nothing else. The field keeps its text.
    BrowserUpdate GotoPage(std::u16string_view typed);

    // An import starts: empty list, previous, next and go to disabled.
    BrowserUpdate DisablePaging();

    // Every row of the current view and filter (all pages, no limit), built as the list
    // builds them, in order; row numbers count from 0. onRow returning false stops. Returns
    // false when the query failed or was stopped, no package is open, or the view is loading.
    bool ForEachRow(const std::function<bool(long long nRow, const BrowserRow& row)>& onRow);
    // The unlimited query of the current view and filter (ANSI), as the export runs it. A
    // filter that matches nothing in the list (a name the code page cannot hold) gives a
    // query that finds no row, rather than the filter's text with '?' in its place.
    std::string ExportQuery() const;
    // The export of what the list pages through: Parent.db's path, ExportQuery(), the row
    // kind and the package folder; the caller adds the headers and the output path. Empty
    // with no package open.
    std::optional<browser::ExportRequest> ExportOfView() const;

  private:
    BrowserUpdate Done(BrowserScreen next, std::optional<int> pageField = std::nullopt,
                       int nMessage = 0);
    BrowserUpdate Refused(int nMessage = 0) const;
    // The screen with view, its layout and kind, before its rows are loaded.
    BrowserScreen EnteredView(AuditView view) const;
    // Counts and loads the first page of view into next (StartPaging, then the page); or,
    // while a table of the view is still loading, marks next as loading.
    void LoadFirstPage(BrowserScreen& next, AuditView view, bool bSearchText);
    // Loads the page at offset into next.rows.
    void LoadPage(BrowserScreen& next, const std::string& query);
    std::string OffsetQuery(int nOffset) const;
    BrowserUpdate Move(const PageMove& move, bool bWriteField);

    BrowserScreen m_screen;
    BrowserPackage m_package;
    std::string m_strTable = "unix_sms_log";  // the single table whose first page came last
    std::string m_strFilter;                  // empty or " where ...", ANSI bytes
    // A name filter holds a character the code page lacks: the filter matches no row, so
    // nothing is counted or listed (its text, with '?' for that character, would).
    bool m_bMatchesNothing = false;
};

}  // namespace browser
