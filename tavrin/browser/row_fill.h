// Turning one result row of a page query into the cells and the record of one list row.
// Plain functions with no window; the list control (CListCtrlEx) adds the row number in
// column 0 and the action texts in columns 8 to 10. Any thread.
//
// A row arrives as sqlite3_exec delivers it: argc fields of ANSI-code-page text, NULL for an
// SQL NULL. A missing position (a row shorter than the layout) and a NULL both read as empty
// text; nothing is read past argc.
//
// Files a row names are looked up beneath the package folder only (platform/bounded_read.h):
// a name with "..", an absolute escape or a link out of the folder counts as a missing file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include <QString>

#include "tavrin/browser/session_records.h"

namespace browser {

// Field pos of a row, or empty when the row has no such position or it is NULL.
std::string_view RowField(int argc, char** argv, int pos);

// Appliance path of the character layout mapped into the package, on the field's ANSI bytes
// (which name the file on disk): ':' becomes '_', the last four characters (the extension)
// are dropped. The result begins with '/' when the field does and is appended to the package
// folder without a separator.
std::string MapApplianceBytes(std::string_view field);

// "%.3fM": bytes / 1048576 with three decimals.
QString FormatMegabytes(std::uint64_t bytes);

// Shown in column 7 of a graphical row whose recording file is missing.
inline const char16_t kMissingRecording[] = u"-";

// Where a row's files lie. packageFolder is "{program folder}/{package name}" as bytes
// (UTF-8); it must not end with '/'.
struct RowPlace {
    std::string strPackageFolder;
};

// Cells of columns 1 to 7 (index = column; index 0 stays empty).
using RowCells = std::array<QString, 8>;

struct CharRow {
    RowCells cells;
    StringData record;
    int nLines = 0;  // the number cell 7 shows, for those who need it as a number
};

struct GraphicRow {
    RowCells cells;
    drpData record;
};

// unix_sms_log and unix_xfer_log: columns 1-6 from positions 4, 12, 5, 6, 2, 7; column 7 the
// line count of the text record (position 9), 0 when it cannot be opened.
CharRow BuildCharRow(const RowPlace& place, int argc, char** argv);

// unix_vsms_log and unix_xapp_log: columns 1-6 from positions 3, 13, 4, 5, 6, 7; recording
// name at 8, width 9, height 10, code 1; column 7 the size of "{recording}.rec" or "-".
GraphicRow BuildGraphicRow(const RowPlace& place, int argc, char** argv);

// The joined view: column 1 positions 2 and 3 joined by a blank, columns 2-6 from 10, 13,
// 14, 4, 5; recording name at 6, width 11, height 12, code 1; column 7 as above.
GraphicRow BuildJoinedRow(const RowPlace& place, int argc, char** argv);

}  // namespace browser
