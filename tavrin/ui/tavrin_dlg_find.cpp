// The main dialog's hookup of "Find in sessions…": its button, its key and what the window
// learns of the packages of the run.
#include <QPushButton>

#include "platform/paths.h"
#include "tavrin/find/find_strings.h"
#include "tavrin/ui/find_sessions_dlg.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/res_string.h"
#include "tavrin/ui/tavrin_dlg.h"

namespace {

constexpr char kFindButtonId[] = "1041";
// Left of the search button, on the row of the name filters' labels.
const QRect kFindButtonRect(900, 183, 200, 28);

}  // namespace

void CTavrinDlg::AttachFindWindow() {
    if (m_pFindWindow) return;
    const std::string programFolder = m_list ? m_list->m_strProgramFolder : std::string();
    m_pFindWindow = new ui::CFindSessionsDlg(this, programFolder, [this, programFolder] {
        std::vector<ui::SFindPackage> packages;
        for (const MyStruct& record : m_packages) {
            ui::SFindPackage package;
            package.strName = record.strName.toStdString();
            package.strWorkFolder = platform::JoinPath(programFolder, package.strName);
            for (const stateData& state : m_states)
                if (state.strName == record.strName) package.bReady = state.bDone;
            package.bOpen = record.pParentDb && record.pParentDb.get() == m_pParentDb;
            if (package.bOpen) package.pChildDb = m_pChildDb;
            packages.push_back(std::move(package));
        }
        return packages;
    });

    auto* button = findChild<QPushButton*>(QLatin1String(kFindButtonId));
    if (!button) {
        button = new QPushButton(ui::ResString(session_index::kStrFindTitle), this);
        button->setObjectName(QLatin1String(kFindButtonId));
        button->setGeometry(kFindButtonRect);
        button->show();
    }
    button->setAutoDefault(false);
    button->setDefault(false);
    ui::CFindSessionsDlg* window = m_pFindWindow;
    connect(button, &QPushButton::clicked, window, &ui::CFindSessionsDlg::Activate);
}
