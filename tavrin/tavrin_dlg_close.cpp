// The main dialog's close handling.
#include "tavrin/tavrin_dlg.h"

void CTavrinDlg::OnClose() {}
