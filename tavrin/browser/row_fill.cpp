#include "tavrin/browser/row_fill.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

#include "common/decimal_text.h"
#include "platform/bounded_read.h"
#include "platform/codepage.h"

namespace browser {

namespace {

const char kSessionsDir[] = "/var/utm/data/sessions/";

QString Wide(std::string_view ansi) {
    return QString::fromStdU16String(platform::AnsiToUtf16(ansi));
}

QString FieldText(int argc, char** argv, int pos) {
    return Wide(RowField(argc, argv, pos));
}

// Column 7 and the record of a graphical row: the recording is
// "{package}/var/utm/data/sessions/{name}" and its file has ".rec" appended.
void FillRecording(const RowPlace& place, std::string_view name, GraphicRow& row) {
    std::string rel = std::string(kSessionsDir) + std::string(name);
    std::optional<std::uint64_t> size =
        platform::FileSizeBeneath(place.strPackageFolder, rel + ".rec");
    row.cells[7] = size ? FormatMegabytes(*size) : QString::fromUtf16(kMissingRecording);
    row.record.strPathBytes = place.strPackageFolder + rel;
    row.record.strPath =
        QString::fromUtf8(place.strPackageFolder) + QString::fromLatin1(kSessionsDir) + Wide(name);
    row.record.strName = Wide(name);
    row.record.strNameBytes.assign(name);
}

}  // namespace

std::string_view RowField(int argc, char** argv, int pos) {
    if (pos < 0 || pos >= argc || !argv || !argv[pos]) return std::string_view();
    return std::string_view(argv[pos]);
}

std::string MapApplianceBytes(std::string_view field) {
    // ':' never occurs inside a GBK double-byte character (trail bytes start at 0x40), so it
    // is replaced byte by byte; the bytes of the file name stay as the package holds them.
    std::string bytes(field);
    for (char& c : bytes) {
        if (c == ':') c = '_';
    }
    // Drop the bytes of the last four characters.
    std::u16string wide = platform::AnsiToUtf16(bytes);
    size_t dropChars = wide.size() < 4 ? wide.size() : 4;
    std::string tail = platform::Utf16ToAnsi(wide.substr(wide.size() - dropChars));
    size_t dropBytes = dropChars;  // undecodable text: one byte a character
    if (tail.size() <= bytes.size() &&
        bytes.compare(bytes.size() - tail.size(), tail.size(), tail) == 0)
        dropBytes = tail.size();
    bytes.resize(bytes.size() > dropBytes ? bytes.size() - dropBytes : 0);
    return bytes;
}

QString FormatMegabytes(std::uint64_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3fM", static_cast<double>(bytes) / 1048576.0);
    return QString::fromLatin1(text);
}

namespace {

// Cells 1 to 6 of a list row (0 is the action column) from the fields at the given positions.
void FillCells(int argc, char** argv, const std::array<int, 6>& fields, RowCells& cells) {
    for (std::size_t i = 0; i < fields.size(); ++i) cells[i + 1] = FieldText(argc, argv, fields[i]);
}

// Where a recording row's record stands among the fields: its file, width and height.
struct SRecordFields {
    int nPath;
    int nWidth;
    int nHeight;
};

// A row that plays a recording (graphic and joined views): its six cells, the recording, its
// size, and the code in field 1.
GraphicRow BuildRecordingRow(const RowPlace& place, int argc, char** argv,
                             const std::array<int, 6>& cells, SRecordFields record) {
    GraphicRow row;
    FillCells(argc, argv, cells, row.cells);
    FillRecording(place, RowField(argc, argv, record.nPath), row);
    row.record.nWidth = common::LeadingDecimal(RowField(argc, argv, record.nWidth));
    row.record.nHeight = common::LeadingDecimal(RowField(argc, argv, record.nHeight));
    row.record.nCode = common::LeadingDecimal(RowField(argc, argv, 1));
    return row;
}

}  // namespace

CharRow BuildCharRow(const RowPlace& place, int argc, char** argv) {
    CharRow row;
    FillCells(argc, argv, {4, 12, 5, 6, 2, 7}, row.cells);

    const QString folder = QString::fromUtf8(place.strPackageFolder);
    const std::string recordBytes = MapApplianceBytes(RowField(argc, argv, 9));
    std::optional<std::uint64_t> lines =
        platform::CountLinesBeneath(place.strPackageFolder, recordBytes);
    row.nLines = lines ? static_cast<int>(std::min<std::uint64_t>(*lines, INT_MAX)) : 0;
    row.cells[7] = QString::number(lines ? static_cast<qulonglong>(*lines) : 0);

    row.record.strPath = folder + Wide(recordBytes);
    row.record.strPathBytes = place.strPackageFolder + recordBytes;
    const std::string secondBytes = MapApplianceBytes(RowField(argc, argv, 10));
    if (platform::CanReadBeneath(place.strPackageFolder, secondBytes)) {
        row.record.strPath2 = folder + Wide(secondBytes);
        row.record.strPath2Bytes = place.strPackageFolder + secondBytes;
    }
    row.record.strKey = FieldText(argc, argv, 8);
    row.record.strKeyBytes.assign(RowField(argc, argv, 8));
    return row;
}

GraphicRow BuildGraphicRow(const RowPlace& place, int argc, char** argv) {
    return BuildRecordingRow(place, argc, argv, {3, 13, 4, 5, 6, 7}, {8, 9, 10});
}

GraphicRow BuildJoinedRow(const RowPlace& place, int argc, char** argv) {
    GraphicRow row = BuildRecordingRow(place, argc, argv, {3, 10, 13, 14, 4, 5}, {6, 11, 12});
    // The joined view shows the date and the time (fields 2 and 3) in one cell.
    row.cells[1] = FieldText(argc, argv, 2) + QLatin1Char(' ') + row.cells[1];
    return row;
}

}  // namespace browser
