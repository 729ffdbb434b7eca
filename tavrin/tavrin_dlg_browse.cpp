// The session browser's part of the main dialog: first-page queries, search and paging.
#include "tavrin/tavrin_dlg.h"

void CTavrinDlg::OnFirstPage() {}

void CTavrinDlg::OnPrevPage() {}

void CTavrinDlg::OnNextPage() {}

void CTavrinDlg::OnGotoPage() {}

void CTavrinDlg::OnSearch() {}

void CTavrinDlg::StartPaging(int /*nTotal*/) {}

void CTavrinDlg::DisablePaging() {}

void CTavrinDlg::QueryTable(const std::string& /*strTable*/) {}

void CTavrinDlg::QueryJoined() {}

void CTavrinDlg::RebuildFilter() {}
