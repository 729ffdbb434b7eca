#include "tavrin/browser/row_fill.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/decimal_text.h"
#include "tavrin/testing/browser_test_support.h"

namespace {

using namespace browser;
namespace fs = std::filesystem;

// A row as sqlite3_exec hands it over; nullptr entries stand for SQL NULL.
struct Row {
    explicit Row(std::vector<const char*> fields) : m_fields(std::move(fields)) {}
    int argc() const { return static_cast<int>(m_fields.size()); }
    char** argv() { return const_cast<char**>(m_fields.data()); }
    std::vector<const char*> m_fields;
};

class RowFill : public ::testing::Test {
  protected:
    void SetUp() override {
        m_pkg = m_folder.Path() / "pkg_a_2013-05-07_2013-05-08";
        fs::create_directories(m_pkg / "var/utm/data/sessions");
        m_place.strPackageFolder = m_pkg.string();
    }
    fs::path Sessions() const { return m_pkg / "var/utm/data/sessions"; }

    browser::test::TempFolder m_folder;
    fs::path m_pkg;
    RowPlace m_place;
};

Row CharFields(const char* record, const char* second) {
    return Row({"1", "dev", "10.1.1.1", "ssh", "2013-05-07 08:00:00", "10.0.0.1", "alice", "root",
                "sms_5_12:30:00", record, second, "ok", "2013-05-07 09:00:00"});
}

TEST_F(RowFill, CharRowCellsAndMappedTextRecord) {
    browser::test::WriteFile(Sessions() / "12_30_00", "one\ntwo\r\nthree");
    browser::test::WriteFile(Sessions() / "extra_1", "x");
    Row r = CharFields("/var/utm/data/sessions/12:30:00.txt", "/var/utm/data/sessions/extra:1.dat");
    CharRow row = BuildCharRow(m_place, r.argc(), r.argv());
    EXPECT_EQ("2013-05-07 08:00:00", row.cells[1].toStdString());
    EXPECT_EQ("2013-05-07 09:00:00", row.cells[2].toStdString());
    EXPECT_EQ("10.0.0.1", row.cells[3].toStdString());
    EXPECT_EQ("alice", row.cells[4].toStdString());
    EXPECT_EQ("10.1.1.1", row.cells[5].toStdString());
    EXPECT_EQ("root", row.cells[6].toStdString());
    EXPECT_EQ("3", row.cells[7].toStdString());
    EXPECT_EQ(m_pkg.string() + "/var/utm/data/sessions/12_30_00", row.record.strPath.toStdString());
    EXPECT_EQ(m_pkg.string() + "/var/utm/data/sessions/12_30_00", row.record.strPathBytes);
    EXPECT_EQ(m_pkg.string() + "/var/utm/data/sessions/extra_1", row.record.strPath2.toStdString());
    EXPECT_EQ("sms_5_12:30:00", row.record.strKey.toStdString());
    EXPECT_TRUE(row.record.strExtra.isEmpty());
    EXPECT_EQ(100, row.record.nWidth);
    EXPECT_EQ(30, row.record.nHeight);
}

TEST_F(RowFill, MissingOrUnsafeFilesCountAsMissing) {
    Row r = CharFields("/var/utm/data/sessions/none.txt", "/var/utm/data/sessions/none.dat");
    CharRow row = BuildCharRow(m_place, r.argc(), r.argv());
    EXPECT_EQ("0", row.cells[7].toStdString());
    EXPECT_TRUE(row.record.strPath2.isEmpty());
    EXPECT_TRUE(row.record.strPath2Bytes.empty());
    EXPECT_FALSE(row.record.strPath.isEmpty());

    // Names that leave the package folder, by "..", or by a link, are never read.
    browser::test::WriteFile(m_folder.Path() / "outside", "a\nb\n");
    fs::create_symlink(m_folder.Path() / "outside", Sessions() / "link");
    for (const char* name : {"/../../../../outside.txt", "/var/utm/data/sessions/link.txt"}) {
        Row bad = CharFields(name, name);
        CharRow out = BuildCharRow(m_place, bad.argc(), bad.argv());
        EXPECT_EQ("0", out.cells[7].toStdString()) << name;
        EXPECT_TRUE(out.record.strPath2.isEmpty()) << name;
    }
    // A directory is no text record either.
    fs::create_directories(Sessions() / "dir");
    Row dir = CharFields("/var/utm/data/sessions/dir.txt", "");
    EXPECT_EQ("0", BuildCharRow(m_place, dir.argc(), dir.argv()).cells[7].toStdString());
}

TEST_F(RowFill, ShortRowsAndNullsGiveEmptyCells) {
    Row shortRow({"1", "dev", nullptr, "ssh", "2013-05-07 08:00:00"});
    CharRow c = BuildCharRow(m_place, shortRow.argc(), shortRow.argv());
    EXPECT_EQ("2013-05-07 08:00:00", c.cells[1].toStdString());
    for (int col : {2, 3, 4, 5, 6}) EXPECT_TRUE(c.cells[col].isEmpty()) << col;
    EXPECT_EQ("0", c.cells[7].toStdString());
    EXPECT_TRUE(c.record.strKey.isEmpty());

    GraphicRow g = BuildGraphicRow(m_place, 0, nullptr);
    for (int col = 1; col <= 6; ++col) EXPECT_TRUE(g.cells[col].isEmpty()) << col;
    EXPECT_EQ("-", g.cells[7].toStdString());
    EXPECT_EQ(0, g.record.nWidth);
    EXPECT_EQ(0, g.record.nCode);

    Row joinedShort({"1", "9", "2013-05-07", nullptr});
    GraphicRow j = BuildJoinedRow(m_place, joinedShort.argc(), joinedShort.argv());
    EXPECT_EQ("2013-05-07 ", j.cells[1].toStdString());
    EXPECT_EQ(9, j.record.nCode);
}

TEST_F(RowFill, GraphicRowRecordAndRecordingSize) {
    browser::test::WriteFile(Sessions() / "rec01.rec", std::string(1536, 'x'));
    Row r({"1", "42", "dev", "2013-05-07 08:00:00", "10.0.0.1", "alice", "10.2.2.2", "admin",
           "rec01", "1280px", "x", "rdp", "ok", "2013-05-07 09:00:00"});
    GraphicRow row = BuildGraphicRow(m_place, r.argc(), r.argv());
    EXPECT_EQ("2013-05-07 08:00:00", row.cells[1].toStdString());
    EXPECT_EQ("2013-05-07 09:00:00", row.cells[2].toStdString());
    EXPECT_EQ("10.0.0.1", row.cells[3].toStdString());
    EXPECT_EQ("alice", row.cells[4].toStdString());
    EXPECT_EQ("10.2.2.2", row.cells[5].toStdString());
    EXPECT_EQ("admin", row.cells[6].toStdString());
    EXPECT_EQ("0.001M", row.cells[7].toStdString());
    EXPECT_EQ(m_pkg.string() + "/var/utm/data/sessions/rec01", row.record.strPath.toStdString());
    EXPECT_EQ("rec01", row.record.strName.toStdString());
    EXPECT_EQ(1280, row.record.nWidth);
    EXPECT_EQ(0, row.record.nHeight);
    EXPECT_EQ(42, row.record.nCode);

    Row missing({"1", "42", "dev", "t", "a", "n", "h", "r", "none", "1", "1", "p", "s", "e"});
    EXPECT_EQ("-", BuildGraphicRow(m_place, missing.argc(), missing.argv()).cells[7].toStdString());
}

TEST_F(RowFill, JoinedRowReadsSessionColumnsBehindTheAppRecord) {
    browser::test::WriteFile(Sessions() / "v1.rec", std::string(1048576, 'x'));
    Row r({"11", "3", "2013-05-07", "08:00:00", "10.5.5.5", "adm", "v1", "app", "path", "ok",
           "2013-05-07 10:00:00", "1024", "768", "10.0.0.1", "alice"});
    GraphicRow row = BuildJoinedRow(m_place, r.argc(), r.argv());
    EXPECT_EQ("2013-05-07 08:00:00", row.cells[1].toStdString());
    EXPECT_EQ("2013-05-07 10:00:00", row.cells[2].toStdString());
    EXPECT_EQ("10.0.0.1", row.cells[3].toStdString());
    EXPECT_EQ("alice", row.cells[4].toStdString());
    EXPECT_EQ("10.5.5.5", row.cells[5].toStdString());
    EXPECT_EQ("adm", row.cells[6].toStdString());
    EXPECT_EQ("1.000M", row.cells[7].toStdString());
    EXPECT_EQ(1024, row.record.nWidth);
    EXPECT_EQ(768, row.record.nHeight);
    EXPECT_EQ(3, row.record.nCode);
    EXPECT_EQ("v1", row.record.strName.toStdString());
}

TEST_F(RowFill, GbkNamesAreDecodedForShowingAndKeptAsBytesForFiles) {
    // 会话 in GBK
    const std::string gbk = "\xBB\xE1\xBB\xB0";
    browser::test::WriteFile(Sessions() / (gbk + ".rec"), "abc");
    Row r({"1", "2", "d", "t", "a", gbk.c_str(), "h", "r", gbk.c_str(), "1", "1", "p", "s", "e"});
    GraphicRow row = BuildGraphicRow(m_place, r.argc(), r.argv());
    EXPECT_EQ(u"会话", row.cells[4].toStdU16String());
    EXPECT_EQ(u"会话", row.record.strName.toStdU16String());
    EXPECT_EQ("0.000M", row.cells[7].toStdString());
    EXPECT_EQ(m_pkg.string() + "/var/utm/data/sessions/" + gbk, row.record.strPathBytes);
}

TEST(RowFillText, SizesAndMapping) {
    EXPECT_EQ("1.000M", FormatMegabytes(1048576).toStdString());
    EXPECT_EQ("0.001M", FormatMegabytes(1536).toStdString());
    EXPECT_EQ("5120.000M", FormatMegabytes(5ull << 30).toStdString());
    EXPECT_EQ("0.000M", FormatMegabytes(0).toStdString());
    EXPECT_EQ("/var/utm/data/sessions/12_30_00",
              MapApplianceBytes("/var/utm/data/sessions/12:30:00.txt"));
    // GBK bytes stay as they are, also an undecodable one; the extension may be Chinese.
    EXPECT_EQ("/s/\xBB\xE1\xFF_1", MapApplianceBytes("/s/\xBB\xE1\xFF:1.txt"));
    EXPECT_EQ("/s/a", MapApplianceBytes("/s/a.\xBB\xE1\xBB\xB0x"));
    EXPECT_EQ("", MapApplianceBytes("ab"));
    EXPECT_EQ(-12, common::LeadingDecimal(" -12x"));
    EXPECT_EQ(0, common::LeadingDecimal("x12"));
    EXPECT_EQ(2147483647, common::LeadingDecimal("99999999999999999999"));
    EXPECT_EQ(-2147483647 - 1, common::LeadingDecimal("-99999999999999999999"));
}

}  // namespace
