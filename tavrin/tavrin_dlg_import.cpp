// The package import's part of the main dialog: importing, switching and deleting packages.
#include "tavrin/tavrin_dlg.h"

void CTavrinDlg::OnOpenPackage() {}

void CTavrinDlg::OpenPackage(const QString& /*strName*/) {}

void CTavrinDlg::ImportPackageFile(const QString& /*path*/) {}

void CTavrinDlg::OnDeletePackage() {}
