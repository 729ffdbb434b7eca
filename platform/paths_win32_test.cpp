// Windows behaviour of paths, free space and the text of names: what the POSIX tests of the
// same services check with POSIX calls.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "common/testing/temp_folder.h"
#include "platform/codepage.h"
#include "platform/disk_space.h"
#include "platform/file_io.h"
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
    test_support::CTempFolder temp("paths_win32_test.");
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

TEST(PathsWin32, FreeSpaceOfAFolderOrAFileAndTheOverride) {
    test_support::CTempFolder temp("paths_win32_test.");
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
