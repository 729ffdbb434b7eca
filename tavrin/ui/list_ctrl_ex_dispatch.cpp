// The result list's double-click: turns the clicked row's record into the plain dispatch
// record, lets player_launch decide, and shows the message or starts the player.
#include <string>

#include "common/qt/user_prompts.h"
#include "platform/codepage.h"
#include "tavrin/dispatch/player_launch.h"
#include "tavrin/ui/list_ctrl_ex.h"
#include "tavrin/ui/res_string.h"

namespace {

// Names that came from package data travel as the bytes the package holds: they name its
// files and its child.db tables, and bytes that are no valid GBK do not survive a round trip
// through wide text. Records made without the bytes fall back to that round trip.
std::string AnsiBytes(const std::string& bytes, const QString& text) {
    return bytes.empty() ? platform::Utf16ToAnsi(text.toStdU16String()) : bytes;
}

}  // namespace

void CListCtrlEx::OnDblClick(int nRow, int nColumn) {
    if (nRow < 0 || !m_packageSource) return;
    const size_t row = static_cast<size_t>(nRow);
    const ui::SListPackage package = m_packageSource();

    dispatch::SDispatchContext context;
    context.strProgramFolder = m_strProgramFolder;
    context.strPackageName = package.strName;
    context.nLayout = m_nLayout;
    context.nKind = m_nKind;
    context.pChildDb = package.pChildDb;
    context.bPackageReady = package.bReady;

    dispatch::SDispatchDecision decision;
    if (m_nLayout == 1) {
        const std::vector<drpData>& records = m_model.GraphicRecords();
        if (row >= records.size()) return;
        const drpData& data = records[row];
        dispatch::SGraphicRowRecord record{data.strPathBytes, data.nWidth, data.nHeight,
                                           AnsiBytes(data.strNameBytes, data.strName), data.nCode};
        decision = dispatch::DecideGraphicDoubleClick(context, nColumn, &record);
    } else {
        const std::vector<StringData>& records = m_model.CharRecords();
        const StringData* data = row < records.size() ? &records[row] : nullptr;
        dispatch::SCharRowRecord record;
        if (data) {
            record.strPath = data->strPathBytes;
            record.strPath2 = data->strPath2Bytes;
            record.strKey = AnsiBytes(data->strKeyBytes, data->strKey);
            record.nWidth = data->nWidth;
            record.nHeight = data->nHeight;
        }
        // The line count the row was filled with, as the number it is.
        decision = dispatch::DecideCharDoubleClick(context, nColumn, data ? &record : nullptr,
                                                   std::to_string(m_model.LineCount(nRow)));
    }

    if (decision.eKind == dispatch::SDispatchDecision::kMessage) {
        common::ShowMessage(ui::ResString(decision.nMessageId));
    } else if (decision.eKind == dispatch::SDispatchDecision::kLaunch) {
        dispatch::LaunchPlayer(context.strProgramFolder, decision.ePlayer, decision.strArguments);
    }
}
