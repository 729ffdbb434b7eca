#include "platform/paths.h"
#include "platform/paths_system.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

bool paths_system::IsSeparator(char c) {
    return c == '/';
}

std::vector<bool> paths_system::SeparatorMask(std::string_view path) {
    std::vector<bool> mask(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) mask[i] = path[i] == '/';
    return mask;
}

bool SamePath(std::string_view a, std::string_view b) {
    return a == b;
}

std::size_t paths_system::RootLength(std::string_view path) {
    return !path.empty() && path[0] == '/' ? 1 : 0;
}

std::string ProgramFolder() {
    if (const char* env = std::getenv("TAVRIN_PROGRAM_DIR"); env && *env) {
        std::string folder(env);
        while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
        return folder;
    }
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    std::string exe(buffer, static_cast<size_t>(n));
    size_t slash = exe.rfind(kPathSeparator);
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

bool PathExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool EntryExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::optional<std::uint64_t> ReadableFileSize(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    if (!regular) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

bool CreateFolder(const std::string& path, unsigned mode) {
    return mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

}  // namespace platform
