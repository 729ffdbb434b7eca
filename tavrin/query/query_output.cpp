#include "tavrin/query/query_output.h"

#include <cstdio>

#include "tavrin/browser/csv_export.h"

namespace query_tool {

std::vector<std::string> ColumnNames(browser::ListLayout layout) {
    return {"row",         "login_time",
            "end_time",    "login_addr",
            "login_name",  "remote_addr",
            "remote_name", layout == browser::ListLayout::kChar ? "lines" : "size"};
}

std::string CsvRow(long long nRow, const browser::BrowserRow& row) {
    std::vector<std::string> fields;
    fields.reserve(row.cells.size());
    fields.push_back(std::to_string(nRow));
    for (size_t col = 1; col < row.cells.size(); ++col)
        fields.push_back(row.cells[col].toStdString());
    return browser::CsvLine(fields);
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string JsonRow(browser::ListLayout layout, long long nRow, const browser::BrowserRow& row) {
    const std::vector<std::string> names = ColumnNames(layout);
    std::string out = "{\"row\":" + std::to_string(nRow);
    for (size_t col = 1; col < row.cells.size() && col < names.size(); ++col)
        out += "," + JsonString(names[col]) + ":" + JsonString(row.cells[col].toStdString());
    if (layout == browser::ListLayout::kChar)
        out += ",\"session_key\":" + JsonString(row.charRecord.strKey.toStdString());
    else
        out += ",\"recording\":" + JsonString(row.graphicRecord.strName.toStdString());
    out += "}";
    return out;
}

}  // namespace query_tool
