// What reading beneath a folder shares on every system: the open file's ownership and reads,
// and the counts built on them. Opening beneath the root is the system's
// (bounded_read_posix.cpp, bounded_read_win32.cpp).
#include "platform/bounded_read.h"

#include <cstring>
#include <vector>

#include "platform/handle_io.h"

namespace platform {

namespace {

constexpr std::size_t kReadStep = 64 * 1024;

}  // namespace

std::optional<std::vector<std::string>> StepsBeneath(std::string_view relPath,
                                                     std::string_view separators) {
    if (relPath.find('\0') != std::string_view::npos) return std::nullopt;
    // A name ending in a separator names a folder, never the file.
    if (!relPath.empty() && separators.find(relPath.back()) != std::string_view::npos)
        return std::nullopt;
    std::vector<std::string> steps;
    std::size_t pos = 0;
    while (pos <= relPath.size()) {
        std::size_t end = relPath.find_first_of(separators, pos);
        if (end == std::string_view::npos) end = relPath.size();
        const std::string_view step = relPath.substr(pos, end - pos);
        if (step == "..") return std::nullopt;
        if (!step.empty() && step != ".") steps.emplace_back(step);
        pos = end + 1;
    }
    if (steps.empty()) return std::nullopt;
    return steps;
}

CBoundedFile::CBoundedFile(CBoundedFile&& other) noexcept
    : m_nFd(other.m_nFd), m_nSizeAtOpen(other.m_nSizeAtOpen) {
    other.m_nFd = -1;
    other.m_nSizeAtOpen = 0;
}

CBoundedFile& CBoundedFile::operator=(CBoundedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_nFd = other.m_nFd;
        m_nSizeAtOpen = other.m_nSizeAtOpen;
        other.m_nFd = -1;
        other.m_nSizeAtOpen = 0;
    }
    return *this;
}

CBoundedFile::~CBoundedFile() {
    Close();
}

std::uint64_t CBoundedFile::Size() const {
    if (m_nFd < 0) return 0;
    return handle_io::SizeOf(m_nFd).value_or(0);
}

long long CBoundedFile::Read(char* buffer, std::size_t size) {
    if (m_nFd < 0) return -1;
    int error = 0;
    return handle_io::ReadSome(m_nFd, buffer, size, &error);
}

void CBoundedFile::Close() {
    if (m_nFd >= 0) {
        handle_io::Close(m_nFd);
        m_nFd = -1;
    }
    m_nSizeAtOpen = 0;
}

std::optional<std::uint64_t> CountLinesBeneath(const std::string& root, std::string_view relPath) {
    CBoundedFile file;
    if (!file.OpenBeneath(root, relPath)) return std::nullopt;
    std::vector<char> buffer(kReadStep);
    std::uint64_t lines = 0;
    char last = '\n';
    while (true) {
        long long n = file.Read(buffer.data(), buffer.size());
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        const char* p = buffer.data();
        const char* end = p + n;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
            ++lines;
            ++p;
        }
        last = buffer[static_cast<size_t>(n) - 1];
    }
    if (last != '\n') ++lines;
    return lines;
}

std::optional<std::uint64_t> FileSizeBeneath(const std::string& root, std::string_view relPath) {
    CBoundedFile file;
    if (!file.OpenBeneath(root, relPath)) return std::nullopt;
    return file.Size();
}

bool CanReadBeneath(const std::string& root, std::string_view relPath) {
    CBoundedFile file;
    return file.OpenBeneath(root, relPath);
}

}  // namespace platform
