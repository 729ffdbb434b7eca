#include "tavrin/browser/row_fill.h"

#include <algorithm>
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

CharRow BuildCharRow(const RowPlace& place, int argc, char** argv) {
    CharRow row;
    row.cells[1] = FieldText(argc, argv, 4);
    row.cells[2] = FieldText(argc, argv, 12);
    row.cells[3] = FieldText(argc, argv, 5);
    row.cells[4] = FieldText(argc, argv, 6);
    row.cells[5] = FieldText(argc, argv, 2);
    row.cells[6] = FieldText(argc, argv, 7);

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
    GraphicRow row;
    row.cells[1] = FieldText(argc, argv, 3);
    row.cells[2] = FieldText(argc, argv, 13);
    row.cells[3] = FieldText(argc, argv, 4);
    row.cells[4] = FieldText(argc, argv, 5);
    row.cells[5] = FieldText(argc, argv, 6);
    row.cells[6] = FieldText(argc, argv, 7);
    FillRecording(place, RowField(argc, argv, 8), row);
    row.record.nWidth = common::LeadingDecimal(RowField(argc, argv, 9));
    row.record.nHeight = common::LeadingDecimal(RowField(argc, argv, 10));
    row.record.nCode = common::LeadingDecimal(RowField(argc, argv, 1));
    return row;
}

GraphicRow BuildJoinedRow(const RowPlace& place, int argc, char** argv) {
    GraphicRow row;
    row.cells[1] = FieldText(argc, argv, 2) + QLatin1Char(' ') + FieldText(argc, argv, 3);
    row.cells[2] = FieldText(argc, argv, 10);
    row.cells[3] = FieldText(argc, argv, 13);
    row.cells[4] = FieldText(argc, argv, 14);
    row.cells[5] = FieldText(argc, argv, 4);
    row.cells[6] = FieldText(argc, argv, 5);
    FillRecording(place, RowField(argc, argv, 6), row);
    row.record.nWidth = common::LeadingDecimal(RowField(argc, argv, 11));
    row.record.nHeight = common::LeadingDecimal(RowField(argc, argv, 12));
    row.record.nCode = common::LeadingDecimal(RowField(argc, argv, 1));
    return row;
}

}  // namespace browser
