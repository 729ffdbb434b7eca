// Helpers shared by the import tests: a private temporary folder per test, small files, and
// tar archives made with the system's tar.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/spawn.h"

namespace import_test {

// A fresh folder under the system's temporary folder, removed with everything in it at the
// end of the scope.
class CTempFolder {
  public:
    CTempFolder() {
        std::random_device rd;
        for (int i = 0; i < 100; ++i) {
            auto candidate = std::filesystem::temp_directory_path() /
                             ("import_test_" + std::to_string(rd()) + "_" + std::to_string(i));
            if (std::filesystem::create_directory(candidate)) {
                m_path = candidate.string();
                return;
            }
        }
        ADD_FAILURE() << "no temporary folder";
    }
    ~CTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Packs the entries (paths relative to folder) into archive with the system's tar.
inline bool MakeTar(const std::string& archive, const std::string& folder,
                    const std::vector<std::string>& entries, bool append = false) {
    std::vector<std::string> argv = {"tar", append ? "-rf" : "-cf", archive, "-C", folder};
    argv.insert(argv.end(), entries.begin(), entries.end());
    auto r = platform::SpawnAndWait("/usr/bin/tar", argv);
    return r.started && r.exitStatus == 0;
}

}  // namespace import_test
