#include "tavrin/ui/find_hit_dispatch.h"

#include <optional>

#include "common/db_handle.h"
#include "common/viewer_find_field.h"
#include "platform/paths.h"
#include "tavrin/browser/browser_db.h"
#include "tavrin/browser/row_fill.h"

namespace ui {

namespace {

struct SRowRead {
    const browser::RowPlace* pPlace = nullptr;
    bool bGraphic = false;
    std::optional<browser::CharRow> charRow;
    std::optional<browser::GraphicRow> graphicRow;
};

int OnRow(void* context, int argc, char** argv, char**) {
    SRowRead& read = *static_cast<SRowRead*>(context);
    if (read.bGraphic)
        read.graphicRow = browser::BuildGraphicRow(*read.pPlace, argc, argv);
    else
        read.charRow = browser::BuildCharRow(*read.pPlace, argc, argv);
    return 1;  // one row is all there is
}

}  // namespace

dispatch::SDispatchDecision DecideHitDispatch(const SFindHitPackage& package,
                                              const session_index::SessionHit& hit,
                                              const std::string& queryUtf8) {
    const bool bGraphic = hit.strView == "unix_vsms_log" || hit.strView == "unix_xapp_log";
    const bool bChar = hit.strView == "unix_sms_log" || hit.strView == "unix_xfer_log";
    if (!bGraphic && !bChar) return {};

    // Its own connection: the hit may be of a package that is not the open one, and the
    // open package's error slot stays the browser's.
    const std::string parentDb =
        platform::JoinPath(hit.strWorkFolder, hit.strPackage + "Parent.db");
    if (!platform::PathExists(parentDb)) return {};
    DbHandle db;
    if (OpenDbHandle(db, parentDb) != 0) {
        db.Close();
        return {};
    }
    browser::RowPlace place{platform::JoinPath(package.strProgramFolder, hit.strPackage)};
    SRowRead read;
    read.pPlace = &place;
    read.bGraphic = bGraphic;
    // The view's name is one of four fixed tables; the row by its number.
    const std::string sql =
        "select * from \"" + hit.strView + "\" where rowid = " + std::to_string(hit.nSessionRow);
    browser::RunPageQuery(db, sql, OnRow, &read);
    db.Close();

    dispatch::SDispatchContext context;
    context.strProgramFolder = package.strProgramFolder;
    context.strPackageName = hit.strPackage;
    context.bPackageReady = package.bReady;
    context.pChildDb = package.pChildDb;
    if (bGraphic) {
        if (!read.graphicRow) return {};
        context.nLayout = 1;
        context.nKind = hit.strView == "unix_vsms_log" ? 1 : 0;
        const drpData& data = read.graphicRow->record;
        const dispatch::SGraphicRowRecord record{data.strPathBytes, data.nWidth, data.nHeight,
                                                 data.strNameBytes, data.nCode};
        const bool bScanLine = hit.bFromFile && hit.nViewerLine >= 0;
        dispatch::SDispatchDecision decision =
            dispatch::DecideGraphicDoubleClick(context, bScanLine ? 9 : 8, &record);
        if (bScanLine && decision.eKind == dispatch::SDispatchDecision::kLaunch &&
            !queryUtf8.empty())
            decision.strArguments +=
                " ~" + common::EncodeViewerFindField({queryUtf8, hit.nViewerLine});
        return decision;
    }
    context.nLayout = 2;
    if (!read.charRow) return dispatch::DecideCharDoubleClick(context, 8, nullptr, "");
    const StringData& data = read.charRow->record;
    dispatch::SCharRowRecord record;
    record.strPath = data.strPathBytes;
    record.strPath2 = data.strPath2Bytes;
    record.strKey = data.strKeyBytes;
    record.nWidth = data.nWidth;
    record.nHeight = data.nHeight;
    return dispatch::DecideCharDoubleClick(context, 8, &record,
                                           std::to_string(read.charRow->nLines));
}

}  // namespace ui
