// Exporting the whole of a browser view (every row of the view and its filter, not only the
// page shown) to a CSV file that spreadsheet programs open: UTF-8 with a byte-order mark,
// fields quoted where RFC 4180 needs it, lines ended by CR LF, the list's column headers
// first. Rows are read one at a time with sqlite3_step on a read-only connection of the
// export's own and written at once, so memory stays constant however many rows the view has.
// Plain code with no window; any thread (one export per call).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace browser {

// One CSV field: wrapped in double quotes, with inner double quotes doubled, when it holds a
// comma, a double quote, CR or LF; otherwise unchanged.
std::string CsvField(std::string_view utf8);

// Fields joined by commas, ended by CR LF.
std::string CsvLine(const std::vector<std::string>& fields);

// Which row builder turns a result row into the list's cells (tavrin/browser/row_fill.h).
enum class ExportRowKind { kChar, kGraphic, kJoined };

// The row builder a single table's rows need: graphical for unix_vsms_log and unix_xapp_log,
// character otherwise (as the list fills them).
ExportRowKind RowKindOfTable(std::string_view table);

struct ExportRequest {
    std::string strDbPath;  // Parent.db, UTF-8; opened read-only for the export
    std::string strQuery;   // the unlimited query of the view (ANSI code page)
    ExportRowKind eKind = ExportRowKind::kChar;
    std::string strPackageFolder;  // "{program folder}/{package name}": where rows' files lie
    // Header line (UTF-8): the list's headers of columns 0 to 7. The action columns hold no
    // data and are not written.
    std::vector<std::string> headers;
    std::string strOutPath;  // the CSV file, UTF-8
};

enum class ExportStatus { kDone, kCancelled, kQueryFailed, kWriteFailed };

struct ExportResult {
    ExportStatus eStatus = ExportStatus::kDone;
    long long nRows = 0;   // data rows written (not counting the header)
    std::string strError;  // SQLite's or the system's message on a failure
};

// Rows written between two calls of the progress callback.
inline constexpr long long kExportProgressStep = 1000;

// Writes the view to request.strOutPath: the byte-order mark, the header line, then one line
// per result row with column 0 numbering the rows from 0 as the list's first page does and
// columns 1 to 7 as the list shows them (times and names as stored, decoded from the ANSI
// code page). progress, when set, is called with the rows written so far every
// kExportProgressStep rows; returning false cancels.
//
// The file is written beside the target under a temporary name and renamed over it only
// when every row has been written, so a cancelled or failed export leaves the target as it
// was (an existing file is neither truncated nor replaced) and no partial file behind.
ExportResult ExportView(const ExportRequest& request,
                        const std::function<bool(long long)>& progress = {});

}  // namespace browser
