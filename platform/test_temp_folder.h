// Test support: a fresh folder under the system's temporary folder for one test, removed with
// everything in it when the test ends.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace platform_test {

struct CTempFolder {
    std::filesystem::path path;
    explicit CTempFolder(const std::string& prefix) {
        std::random_device rd;
        do {
            path = std::filesystem::temp_directory_path() /
                   (prefix + std::to_string(rd()) + std::to_string(rd()));
        } while (!std::filesystem::create_directory(path));
    }
    ~CTempFolder() {
        std::error_code ec;
        // A test may have taken the owner's rights away; they are needed to remove the tree.
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

// Makes a symbolic link at link to target (a folder link when folder is true). False where the
// system makes none: MinGW's C++ library has no symbolic links at all, and Windows gives them
// only with a privilege. A test then skips what needs one, with kNoSymlinks as its message.
inline bool MakeSymlink(const std::filesystem::path& target, const std::filesystem::path& link,
                        bool folder = false) {
    std::error_code ec;
    if (folder) {
        std::filesystem::create_directory_symlink(target, link, ec);
    } else {
        std::filesystem::create_symlink(target, link, ec);
    }
    return !ec;
}
inline constexpr char kNoSymlinks[] =
    "this system makes no symbolic links here (MinGW's C++ library, or no privilege)";

}  // namespace platform_test
