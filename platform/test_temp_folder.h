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
        std::filesystem::remove_all(path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;
    std::string operator/(const char* name) const { return (path / name).string(); }
};

}  // namespace platform_test
