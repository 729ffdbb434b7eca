// What tavrin-query prints: rows of a browser view as CSV lines (the export's columns and
// quoting, tavrin/browser/csv_export.h) or JSON. Texts are UTF-8, decoded from the package's code
// page by the row builders. No window; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tavrin/browser/browser_model.h"

namespace query_tool {

// Names of columns 0 to 7 of a layout, the CSV header and the JSON keys: "row", then
// login_time, end_time, login_addr, login_name, remote_addr, remote_name, then "lines"
// (character layout) or "size" (graphical layout).
std::vector<std::string> ColumnNames(browser::ListLayout layout);

// One CSV line (CR LF ended): nRow, then cells 1 to 7.
std::string CsvRow(long long nRow, const browser::BrowserRow& row);

// A JSON string literal: quotes, backslashes and control characters escaped; other bytes
// (UTF-8) as they are.
std::string JsonString(std::string_view utf8);

// One JSON object: the columns by ColumnNames, then "session_key" (character layout) or
// "recording" (graphical layout).
std::string JsonRow(browser::ListLayout layout, long long nRow, const browser::BrowserRow& row);

}  // namespace query_tool
