#include "tavrin/browser/browser_model.h"

#include <sqlite3.h>

#include "platform/codepage.h"
#include "tavrin/browser/browser_db.h"
#include "tavrin/browser/codepage_like.h"

namespace browser {

namespace {

// Builds one row as the view's row filler does.
BrowserRow BuildRow(AuditView view, const RowPlace& place, int argc, char** argv) {
    BrowserRow row;
    if (LayoutOfView(view) == ListLayout::kChar) {
        CharRow built = BuildCharRow(place, argc, argv);
        row.cells = std::move(built.cells);
        row.charRecord = std::move(built.record);
        row.nLines = built.nLines;
    } else {
        GraphicRow built = view == AuditView::Joined ? BuildJoinedRow(place, argc, argv)
                                                     : BuildGraphicRow(place, argc, argv);
        row.cells = std::move(built.cells);
        row.graphicRecord = std::move(built.record);
    }
    return row;
}

struct PageFill {
    AuditView view;
    RowPlace place;
    std::vector<BrowserRow>* rows;
};

int FillRow(void* context, int argc, char** argv, char**) {
    auto* fill = static_cast<PageFill*>(context);
    fill->rows->push_back(BuildRow(fill->view, fill->place, argc, argv));
    return 0;
}

struct EachRow {
    AuditView view;
    RowPlace place;
    const std::function<bool(long long, const BrowserRow&)>* onRow;
    long long nRow = 0;
};

int EachRowCallback(void* context, int argc, char** argv, char**) {
    auto* each = static_cast<EachRow*>(context);
    const BrowserRow row = BuildRow(each->view, each->place, argc, argv);
    return (*each->onRow)(each->nRow++, row) ? 0 : 1;
}

// True when a name filter of values holds a character the code page lacks: no stored value
// can contain it, while its converted text ('?' in its place) would match other values.
bool NameFilterMatchesNothing(const FilterValues& values, const browser::FilterClause& clause) {
    if (clause.failure != FilterFailure::None) return false;  // the names were not appended
    bool loginOk = true, remoteOk = true;
    platform::Utf16ToAnsi(values.strLoginName, &loginOk);
    platform::Utf16ToAnsi(values.strRemoteName, &remoteOk);
    return !loginOk || !remoteOk;
}

}  // namespace

std::vector<std::string> ViewTables(AuditView view) {
    if (view == AuditView::Joined) return {"unix_vsms_log", "unix_xapp_log", "vsms_xapp_tab"};
    return {ViewTable(view)};
}

namespace {

bool TablesLoaded(const BrowserPackage& package, AuditView view) {
    if (!package.pLoaded) return true;
    for (const std::string& table : ViewTables(view)) {
        if (!package.pLoaded->IsLoaded(table)) return false;
    }
    return true;
}

}  // namespace

bool CBrowserModel::ViewBecameLoaded() const {
    return m_screen.bOpen && m_screen.bLoading && TablesLoaded(m_package, m_screen.eView);
}

ListLayout LayoutOfView(AuditView view) {
    return view == AuditView::XferLog || view == AuditView::SmsLog ? ListLayout::kChar
                                                                   : ListLayout::kGraphic;
}

BrowserUpdate CBrowserModel::Done(BrowserScreen next, std::optional<int> pageField, int nMessage) {
    m_screen = std::move(next);
    BrowserUpdate update;
    update.screen = m_screen;
    update.nMessage = nMessage;
    update.nPageField = pageField;
    return update;
}

BrowserUpdate CBrowserModel::Refused(int nMessage) const {
    BrowserUpdate update;
    update.screen = m_screen;
    update.nMessage = nMessage;
    update.bRefused = true;
    return update;
}

void CBrowserModel::LoadPage(BrowserScreen& next, const std::string& query) {
    next.rows.clear();
    if (!m_package.pParentDb || m_bMatchesNothing) return;
    PageFill fill{next.eView, RowPlace{m_package.strPackageFolder}, &next.rows};
    RunPageQuery(*m_package.pParentDb, query, &FillRow, &fill);
}

void CBrowserModel::LoadFirstPage(BrowserScreen& next, AuditView view, bool bSearchText) {
    next.bLoading = !TablesLoaded(m_package, view);
    if (next.bLoading) {
        // Counting a table that is not there yet would show 0 rows as if it had none.
        next.rows.clear();
        next.page = PageState();
        next.buttons = PageButtons();
        next.bCounted = false;
        return;
    }
    const bool joined = view == AuditView::Joined;
    const std::string countQuery =
        joined ? JoinedCountQuery(m_strFilter) : TableCountQuery(m_strTable, m_strFilter);
    const int total = m_package.pParentDb && !m_bMatchesNothing
                          ? CountQueryRows(*m_package.pParentDb, countQuery)
                          : 0;
    next.page = StartPagingState(total);
    next.buttons = StartPagingButtons(next.page);
    next.bCounted = true;
    std::string pageQuery;
    if (!joined)
        pageQuery = TableFirstPageQuery(m_strTable, m_strFilter);
    else if (bSearchText)
        pageQuery = JoinedSearchPageQuery(m_strFilter);
    else
        pageQuery = JoinedFirstPageQuery(m_strFilter);
    LoadPage(next, pageQuery);
}

std::string CBrowserModel::OffsetQuery(int nOffset) const {
    if (m_screen.eView == AuditView::Joined) return JoinedPageQuery(m_strFilter, nOffset);
    return TablePageQuery(m_strTable, m_strFilter, nOffset);
}

BrowserUpdate CBrowserModel::Open(const BrowserPackage& package) {
    m_package = package;
    if (m_package.pParentDb && m_package.pParentDb->db)
        RegisterCodePageLike(m_package.pParentDb->db);
    BrowserScreen next;
    next.bOpen = true;
    next.strPackageName = package.strName;
    next.bJoinedOffered = package.bHasTabTable;
    next.bMatrixColumn = package.bHasMatrixTable;
    next.nKind = m_screen.nKind;  // a property of the list, kept across packages
    m_screen = next;
    return SelectView(AuditView::SmsLog);
}

BrowserUpdate CBrowserModel::Close() {
    m_package = BrowserPackage();
    m_strFilter.clear();
    m_bMatchesNothing = false;
    BrowserScreen next;
    next.nKind = m_screen.nKind;
    return Done(std::move(next));
}

BrowserScreen CBrowserModel::EnteredView(AuditView view) const {
    BrowserScreen next = m_screen;
    next.eView = view;
    next.eLayout = LayoutOfView(view);
    if (view == AuditView::XappLog) next.nKind = 0;
    if (view == AuditView::VsmsLog) next.nKind = 1;
    return next;
}

BrowserUpdate CBrowserModel::SelectView(AuditView view) {
    if (!m_screen.bOpen) return Refused();
    BrowserScreen next = EnteredView(view);
    m_strFilter.clear();
    m_bMatchesNothing = false;
    if (view != AuditView::Joined) m_strTable = ViewTable(view);
    LoadFirstPage(next, view, false);
    return Done(std::move(next));
}

BrowserUpdate CBrowserModel::ChangeView(AuditView view, const FilterValues& values) {
    if (!m_screen.bOpen) return Refused();
    BrowserScreen next = EnteredView(view);
    const browser::FilterClause clause = BuildFilterClause(values, view == AuditView::Joined);
    m_strFilter = platform::Utf16ToAnsi(clause.strClause);
    m_bMatchesNothing = NameFilterMatchesNothing(values, clause);
    if (view != AuditView::Joined) m_strTable = ViewTable(view);
    LoadFirstPage(next, view, false);
    return Done(std::move(next), std::nullopt,
                clause.failure == FilterFailure::None ? 0 : kMsgBadAddress);
}

BrowserUpdate CBrowserModel::Search(const FilterValues& values) {
    if (!m_screen.bOpen) return Refused();
    const browser::FilterClause clause =
        BuildFilterClause(values, m_screen.eView == AuditView::Joined);
    // The list, its count and its later pages (and the export) stay with the clause they were
    // made by: a clause cut short at the bad address would page through other rows.
    if (clause.failure != FilterFailure::None) return Refused(kMsgBadAddress);
    m_strFilter = platform::Utf16ToAnsi(clause.strClause);
    m_bMatchesNothing = NameFilterMatchesNothing(values, clause);
    BrowserScreen next = m_screen;
    LoadFirstPage(next, next.eView, true);
    return Done(std::move(next));
}

BrowserUpdate CBrowserModel::FirstPage() {
    if (!m_screen.bOpen) return Refused();
    BrowserScreen next = m_screen;
    LoadFirstPage(next, next.eView, false);
    const int page = next.page.nCurPage;
    return Done(std::move(next), page);
}

BrowserUpdate CBrowserModel::Move(const PageMove& move, bool bWriteField) {
    BrowserScreen next = m_screen;
    LoadPage(next, OffsetQuery(move.nOffset));
    next.page = move.state;
    next.buttons.bPrev = move.buttons.bPrev;
    next.buttons.bNext = move.buttons.bNext;  // go to keeps its state
    const int page = next.page.nCurPage;
    return Done(std::move(next), bWriteField ? std::optional<int>(page) : std::nullopt);
}

BrowserUpdate CBrowserModel::PrevPage() {
    if (!m_screen.bOpen || !m_screen.bCounted) return Refused();
    const std::optional<PageMove> move = PrevPageMove(m_screen.page);
    if (!move) return Refused();
    return Move(*move, true);
}

BrowserUpdate CBrowserModel::NextPage() {
    if (!m_screen.bOpen || !m_screen.bCounted) return Refused();
    const std::optional<PageMove> move = NextPageMove(m_screen.page);
    if (!move) return Refused();
    return Move(*move, true);
}

BrowserUpdate CBrowserModel::GotoPage(std::u16string_view typed) {
    if (!m_screen.bOpen || !m_screen.bCounted) return Refused();
    const int n = ParsePageNumber(platform::Utf16ToAnsi(typed.substr(0, 9)));
    switch (CheckGotoPage(m_screen.page, n)) {
        case GotoCheck::BeyondLast:
            return Refused(kMsgPageBeyondLast);
        case GotoCheck::NotPositive:
            return Refused(kMsgPageNotPositive);
        case GotoCheck::Ok:
            break;
    }
    return Move(GotoPageMove(m_screen.page, n), false);
}

BrowserUpdate CBrowserModel::DisablePaging() {
    BrowserScreen next = m_screen;
    next.rows.clear();
    next.buttons.bPrev = false;
    next.buttons.bNext = false;
    next.buttons.bGoto = false;
    return Done(std::move(next));
}

std::string CBrowserModel::ExportQuery() const {
    const std::string query = m_screen.eView == AuditView::Joined
                                  ? JoinedAllRowsQuery(m_strFilter)
                                  : TableCountQuery(m_strTable, m_strFilter);
    // The same columns, no row: the export still writes its header line.
    return m_bMatchesNothing ? "select * from (" + query + ") where 0" : query;
}

std::optional<browser::ExportRequest> CBrowserModel::ExportOfView() const {
    if (!m_screen.bOpen || !m_package.pParentDb || !m_package.pParentDb->db) return std::nullopt;
    const bool bJoined = m_screen.eView == AuditView::Joined;
    if (!bJoined && m_strTable.empty()) return std::nullopt;
    browser::ExportRequest request;
    request.strDbPath = m_package.pParentDb->path;
    request.strQuery = ExportQuery();
    request.eKind = bJoined ? browser::ExportRowKind::kJoined : browser::RowKindOfTable(m_strTable);
    request.strPackageFolder = m_package.strPackageFolder;
    return request;
}

bool CBrowserModel::ForEachRow(
    const std::function<bool(long long nRow, const BrowserRow& row)>& onRow) {
    if (!m_screen.bOpen || !m_package.pParentDb || m_screen.bLoading) return false;
    if (m_bMatchesNothing) return true;
    EachRow each{m_screen.eView, RowPlace{m_package.strPackageFolder}, &onRow};
    return RunPageQuery(*m_package.pParentDb, ExportQuery(), &EachRowCallback, &each) == SQLITE_OK;
}

}  // namespace browser
