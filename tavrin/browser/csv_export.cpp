#include "tavrin/browser/csv_export.h"

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

#include "platform/file_io.h"
#include "tavrin/browser/codepage_like.h"
#include "tavrin/browser/row_fill.h"

namespace browser {

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

// Builds the cells of one result row as the list's filler for the view does.
browser::RowCells BuildCells(ExportRowKind eKind, const browser::RowPlace& place, int argc,
                             char** argv) {
    switch (eKind) {
        case ExportRowKind::kGraphic:
            return browser::BuildGraphicRow(place, argc, argv).cells;
        case ExportRowKind::kJoined:
            return browser::BuildJoinedRow(place, argc, argv).cells;
        case ExportRowKind::kChar:
            break;
    }
    return browser::BuildCharRow(place, argc, argv).cells;
}

// Closes the connection and the statement however the export ends.
struct CStatement {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    ~CStatement() {
        sqlite3_finalize(stmt);
        sqlite3_close(db);
    }
};

}  // namespace

std::string CsvField(std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(utf8);
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        line += CsvField(fields[i]);
    }
    line += "\r\n";
    return line;
}

ExportRowKind RowKindOfTable(std::string_view table) {
    if (table == "unix_vsms_log" || table == "unix_xapp_log") return ExportRowKind::kGraphic;
    return ExportRowKind::kChar;
}

ExportResult ExportView(const ExportRequest& request,
                        const std::function<bool(long long)>& progress) {
    ExportResult result;
    CStatement st;
    // Name filters compare by code-page character here as in the list.
    if (sqlite3_open_v2(request.strDbPath.c_str(), &st.db, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK ||
        browser::RegisterCodePageLike(st.db) != SQLITE_OK ||
        sqlite3_prepare_v2(st.db, request.strQuery.c_str(), -1, &st.stmt, nullptr) != SQLITE_OK) {
        result.eStatus = ExportStatus::kQueryFailed;
        result.strError = st.db ? sqlite3_errmsg(st.db) : "out of memory";
        return result;
    }

    // The temporary file lies beside the target, so the final rename stays on one volume.
    const std::string strTemp = request.strOutPath + ".part";
    platform::CFileWriter out;
    auto writeFailed = [&](int nError) {
        out.Close();
        std::error_code ec;
        std::filesystem::remove(strTemp, ec);
        result.eStatus = ExportStatus::kWriteFailed;
        result.strError = std::error_code(nError, std::generic_category()).message();
        return result;
    };
    if (!out.Create(strTemp)) return writeFailed(out.ErrorCode());
    out.Write(kUtf8Bom);
    out.Write(CsvLine(request.headers));

    const browser::RowPlace place{request.strPackageFolder};
    std::vector<char*> fields;
    std::vector<std::string> line(8);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
        const int argc = sqlite3_column_count(st.stmt);
        fields.assign(static_cast<size_t>(argc), nullptr);
        for (int i = 0; i < argc; ++i)
            fields[i] = reinterpret_cast<char*>(
                const_cast<unsigned char*>(sqlite3_column_text(st.stmt, i)));
        const browser::RowCells cells = BuildCells(request.eKind, place, argc, fields.data());
        line[0] = std::to_string(result.nRows);
        for (size_t col = 1; col < cells.size(); ++col) line[col] = cells[col].toStdString();
        if (!out.Write(CsvLine(line))) return writeFailed(out.ErrorCode());
        ++result.nRows;
        if (progress && result.nRows % kExportProgressStep == 0 && !progress(result.nRows)) {
            out.Close();
            std::error_code ec;
            std::filesystem::remove(strTemp, ec);
            result.eStatus = ExportStatus::kCancelled;
            return result;
        }
    }
    if (rc != SQLITE_DONE) {
        out.Close();
        std::error_code ec;
        std::filesystem::remove(strTemp, ec);
        result.eStatus = ExportStatus::kQueryFailed;
        result.strError = sqlite3_errmsg(st.db);
        return result;
    }
    if (!out.Close()) return writeFailed(out.ErrorCode());
    std::error_code ec;
    std::filesystem::rename(strTemp, request.strOutPath, ec);
    if (ec) {
        result.eStatus = ExportStatus::kWriteFailed;
        result.strError = ec.message();
        std::filesystem::remove(strTemp, ec);
        return result;
    }
    if (progress) progress(result.nRows);
    return result;
}

}  // namespace browser
