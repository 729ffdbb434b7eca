// Test support: a fresh folder under the system's temporary folder for one test (or one test
// program), removed with everything in it when the object goes. The one way tests get a
// private folder; no test writes to a fixed name in the temporary folder.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace common::test {

class CTempFolder {
  public:
    // Creates <temp>/<prefix><random>; retries until the name is new, so parallel runs of the
    // same test never share a folder.
    explicit CTempFolder(const std::string& prefix = "tavrin-test-") {
        std::random_device rd;
        do {
            m_path = std::filesystem::temp_directory_path() /
                     (prefix + std::to_string(rd()) + std::to_string(rd()));
        } while (!std::filesystem::create_directory(m_path));
    }
    ~CTempFolder() {
        namespace fs = std::filesystem;
        std::error_code ec;
        // A test may have taken the owner's rights away anywhere in the tree; they are needed
        // to remove it. Links are skipped: their targets may lie outside the folder.
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code ignored;
            if (!it->is_symlink(ignored))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(m_path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string Str() const { return m_path.string(); }
    // A name inside the folder, with '/' on every system: scripts name these paths, and a
    // backslash there escapes.
    std::string operator/(const std::string& name) const {
        return (m_path / name).generic_string();
    }

  private:
    std::filesystem::path m_path;
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

}  // namespace common::test
