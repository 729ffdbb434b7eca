// Windows behaviour of paths, free space and the text of names: what the POSIX tests of the
// same services check with POSIX calls.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"
#include "platform/bounded_read.h"
#include "platform/codepage.h"
#include "platform/disk_space.h"
#include "platform/file_io.h"
#include "platform/folder_entry.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(PathsWin32, ProgramFolderIsTheModulesFolderWithForwardSlashesUnlessOverridden) {
    const std::string saved =
        std::getenv("TAVRIN_PROGRAM_DIR") ? std::getenv("TAVRIN_PROGRAM_DIR") : "";
    _putenv_s("TAVRIN_PROGRAM_DIR", "");
    wchar_t module[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    std::string expected = Utf8(fs::path(module).parent_path());
    for (char& c : expected)
        if (c == '\\') c = '/';
    EXPECT_EQ(platform::ProgramFolder(), expected);
    EXPECT_EQ(platform::ProgramFolder().find('\\'), std::string::npos);

    _putenv_s("TAVRIN_PROGRAM_DIR", "C:\\Tavrin\\");
    EXPECT_EQ(platform::ProgramFolder(), "C:\\Tavrin");
    _putenv_s("TAVRIN_PROGRAM_DIR", saved.c_str());
}

TEST(PathsWin32, JoinPathTakesEitherSeparator) {
    EXPECT_EQ(platform::JoinPath("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(platform::JoinPath("C:/a", "\\b"), "C:/a\\b");
    EXPECT_EQ(platform::JoinPath("C:/a", "b"), "C:/a/b");
}

TEST(PathsWin32, LongPathsAndNonAsciiNamesWorkThroughEveryService) {
    common::test::CTempFolder temp("paths_win32_test.");
    // Well past MAX_PATH (260), which only the "\\?\" form allows.
    std::string deep = temp.Path().string();
    for (int i = 0; i < 12; ++i) deep += "/folder_with_a_rather_long_name_" + std::to_string(i);
    ASSERT_GT(deep.size(), 300u);
    ASSERT_TRUE(platform::CreateFolderTree(deep));
    EXPECT_TRUE(platform::IsDirectory(deep));
    EXPECT_FALSE(platform::CreateFolder(deep));  // exists already

    // A UTF-8 name (the program folder's encoding) and a GBK one (from package data) below it.
    const std::string utf8Name = deep + "/\xE5\xAE\xA1\xE8\xAE\xA1";  // 审计
    const std::string gbkName = deep + "/\xC9\xF3\xBC\xC6.bak";       // 审计.bak
    for (const std::string& path : {utf8Name, gbkName}) {
        platform::CFileWriter writer;
        ASSERT_TRUE(writer.Create(path)) << writer.ErrorCode();
        ASSERT_TRUE(writer.Write("12345"));
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(platform::FileSize(path), 5u);
        EXPECT_TRUE(platform::PathExists(path));
    }
    const std::vector<std::string> names = platform::FolderEntries(deep);
    EXPECT_EQ(names.size(), 2u);
    // Both are one name on disk, reported in UTF-8.
    EXPECT_NE(std::find(names.begin(), names.end(), "\xE5\xAE\xA1\xE8\xAE\xA1"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), platform::AnsiToUtf8("\xC9\xF3\xBC\xC6.bak")),
              names.end());
    EXPECT_TRUE(
        platform::DeleteFolderTree(temp.Path().string() + "/folder_with_a_rather_long_name_0"));
    EXPECT_FALSE(platform::PathExists(deep));
}

// GBK characters whose second byte is 0x5C, '\\' as a single byte: 嘰 (87 5C), 奬 (8A 5C).
const std::string kGbkJi = "\x87\x5C";
const std::string kGbkJiang = "\x8A\x5C";

TEST(PathsWin32, AGbkCharacterEndingIn0x5CIsNeverTakenForASeparator) {
    // Joined without a separator it would read as the folder "\x87" and then the name.
    EXPECT_EQ(platform::JoinPath("C:/p/" + kGbkJi, "a"), "C:/p/" + kGbkJi + "/a");
    EXPECT_EQ(platform::JoinPath("C:/p/" + kGbkJi + "\\", "a"), "C:/p/" + kGbkJi + "\\a");
    // A UTF-8 name ends before a '\\' (UTF-8 never has one inside a character).
    EXPECT_EQ(platform::JoinPath("C:/p/\xE5\xAE\xA1\\", "a"), "C:/p/\xE5\xAE\xA1\\a");

    common::test::CTempFolder temp("paths_win32_test.");
    // Folders named 嘰 and 奬x\乗 (a real separator after the GBK 'x'), made from GBK bytes.
    const std::string gbkTree =
        temp.Path().string() + "/" + kGbkJi + "/" + kGbkJiang + "x\\" + "\x81\x5C";
    ASSERT_TRUE(platform::CreateFolderTree(gbkTree));
    EXPECT_TRUE(platform::IsDirectory(gbkTree));
    EXPECT_TRUE(fs::is_directory(temp.Path() / L"\u5630" / L"\u596Cx" / L"\u4E57"));
    EXPECT_EQ(platform::FolderEntries(temp.Path().string()),
              std::vector<std::string>{platform::AnsiToUtf8(kGbkJi)});

    // A file beneath a folder, reached by its GBK name as package rows give it.
    std::ofstream(temp.Path() / L"\u5630" / L"\u596Cx" / L"\u4E57" / L"\u5630.txt",
                  std::ios::binary)
        << "one\ntwo\n";
    const std::string rel = kGbkJi + "/" + kGbkJiang + "x\\" + "\x81\x5C" + "\\" + kGbkJi + ".txt";
    EXPECT_EQ(platform::CountLinesBeneath(temp.Path().string(), rel), 2u);
    EXPECT_EQ(platform::FileSizeBeneath(temp.Path().string(), rel), 8u);
    // One name inside a folder, though it holds the byte of '\\'; a real '\\' is refused.
    EXPECT_TRUE(platform::CreateFreshFileIn(temp.Path().string(), kGbkJiang));
    EXPECT_TRUE(fs::is_regular_file(temp.Path() / L"\u596C"));
    EXPECT_FALSE(platform::CreateFreshFileIn(temp.Path().string(), "x\\y"));
    EXPECT_TRUE(platform::DeleteEntryIn(temp.Path().string(), kGbkJiang));
    EXPECT_FALSE(fs::exists(temp.Path() / L"\u596C"));

    // "..\\" is still a step out, whatever stands before it.
    EXPECT_FALSE(platform::FileSizeBeneath((temp.Path() / L"\u5630").string(),
                                           kGbkJi + "\\..\\" + kGbkJi + "\\x"));
}

TEST(PathsWin32, SamePathIgnoresCaseAndTheKindOfSeparator) {
    EXPECT_TRUE(platform::SamePath("C:/Program Files/Tavrin", "c:\\PROGRAM FILES\\tavrin"));
    // Beyond ASCII too, as NTFS compares names: Greek, Cyrillic, full-width letters.
    EXPECT_TRUE(
        platform::SamePath("C:/\xCE\xB1\xD0\xB4\xEF\xBD\x81", "C:/\xCE\x91\xD0\x94\xEF\xBC\xA1"));
    // A GBK folder name and its UTF-8 spelling are the same name on disk.
    EXPECT_TRUE(platform::SamePath("C:/" + kGbkJi + "/a", "C:/\xE5\x98\xB0/A"));
    EXPECT_FALSE(platform::SamePath("C:/Tavrin", "C:/Tavrin2"));
    EXPECT_FALSE(platform::SamePath("C:/Tavrin", "C:/Tavrin/"));
    EXPECT_FALSE(platform::SamePath("C:/\xE5\xAE\xA1", "C:/\xE8\xAE\xA1"));
}

TEST(PathsWin32, FreeSpaceOfAFolderOrAFileAndTheOverride) {
    common::test::CTempFolder temp("paths_win32_test.");
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(temp.Path().wstring().c_str(), &available, &total, &free));
    const auto bytes = platform::FreeBytes(temp.Path().string());
    ASSERT_TRUE(bytes);
    // Others write to the disk meanwhile: near the figure, not equal to it.
    const double diff = static_cast<double>(*bytes) - static_cast<double>(available.QuadPart);
    EXPECT_LT(diff < 0 ? -diff : diff, 512.0 * 1024 * 1024);
    std::ofstream(temp.Path() / "file") << "x";
    EXPECT_TRUE(platform::FreeBytes((temp.Path() / "file").string()));
    EXPECT_FALSE(platform::FreeBytes((temp.Path() / "absent").string()));
    platform::SetFreeBytesOverride(1234);
    EXPECT_EQ(platform::FreeBytes("Q:/nowhere"), 1234u);
    platform::SetFreeBytesOverride(std::nullopt);
}

}  // namespace
