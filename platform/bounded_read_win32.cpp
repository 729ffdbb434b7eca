#include "platform/bounded_read.h"

#include "platform/system_win32.h"

#include <cstring>
#include <vector>

namespace platform {

namespace {

using win32::HandleToInt;
using win32::IntToHandle;

constexpr std::size_t kReadStep = 64 * 1024;

// A name that must not be a step below root: "..", and anything with a colon (a drive, or an
// alternate data stream of the file before it).
bool IsForbiddenStep(const std::wstring& part) {
    return part == L".." || part.find(L':') != std::wstring::npos;
}

// Opens one step of the walk as the entry itself, never what a reparse point leads to. The
// entry may not be renamed or deleted while the handle stays open, so a folder checked on
// the way cannot be swapped for a link before the next step.
HANDLE OpenStep(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

bool IsReparsePoint(HANDLE h, bool* isFolder) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return true;
    *isFolder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

CBoundedFile::CBoundedFile(CBoundedFile&& other) noexcept : m_nFd(other.m_nFd) {
    other.m_nFd = -1;
}

CBoundedFile& CBoundedFile::operator=(CBoundedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_nFd = other.m_nFd;
        other.m_nFd = -1;
    }
    return *this;
}

CBoundedFile::~CBoundedFile() {
    Close();
}

bool CBoundedFile::OpenBeneath(const std::string& root, std::string_view relPath) {
    Close();
    if (root.empty() || relPath.find('\0') != std::string_view::npos) return false;
    // A name ending in a separator names a folder, never the file.
    if (!relPath.empty() && (relPath.back() == '/' || relPath.back() == '\\')) return false;
    // Both separators divide names on Windows, so a "\.." inside a name is a step too.
    std::vector<std::wstring> parts;
    std::size_t pos = 0;
    while (pos <= relPath.size()) {
        std::size_t end = relPath.find_first_of("/\\", pos);
        if (end == std::string_view::npos) end = relPath.size();
        std::wstring part = win32::Widen(relPath.substr(pos, end - pos));
        if (IsForbiddenStep(part)) return false;
        if (!part.empty() && part != L".") parts.push_back(std::move(part));
        pos = end + 1;
    }
    if (parts.empty()) return false;

    std::wstring path = win32::SystemPath(root);
    std::vector<HANDLE> held;
    auto release = [&held] {
        for (HANDLE h : held) CloseHandle(h);
        held.clear();
    };
    // The root itself may be reached through links (it is the caller's); nothing below it.
    HANDLE rootHandle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (rootHandle == INVALID_HANDLE_VALUE) return false;
    held.push_back(rootHandle);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (path.back() != L'\\') path.push_back(L'\\');
        path += parts[i];
        HANDLE h = OpenStep(path, last ? GENERIC_READ : 0);
        if (h == INVALID_HANDLE_VALUE) {
            release();
            return false;
        }
        bool isFolder = false;
        if (IsReparsePoint(h, &isFolder) || isFolder != !last ||
            (last && GetFileType(h) != FILE_TYPE_DISK)) {
            CloseHandle(h);
            release();
            return false;
        }
        if (last) {
            m_nFd = HandleToInt(h);
        } else {
            held.push_back(h);
        }
    }
    release();
    return true;
}

std::uint64_t CBoundedFile::Size() const {
    LARGE_INTEGER size;
    if (m_nFd < 0 || !GetFileSizeEx(IntToHandle(m_nFd), &size)) return 0;
    return static_cast<std::uint64_t>(size.QuadPart);
}

long long CBoundedFile::Read(char* buffer, std::size_t size) {
    if (m_nFd < 0) return -1;
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    if (!ReadFile(IntToHandle(m_nFd), buffer, want, &got, nullptr)) return -1;
    return static_cast<long long>(got);
}

long long CBoundedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
    if (m_nFd < 0) return -1;
    // A read at an offset moves a synchronous handle's position: put it back afterwards.
    const HANDLE h = IntToHandle(m_nFd);
    LARGE_INTEGER zero = {}, position = {};
    if (!SetFilePointerEx(h, zero, &position, FILE_CURRENT)) return -1;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    const bool ok = ReadFile(h, buffer, want, &got, &at) != 0;
    const bool atEnd = !ok && GetLastError() == ERROR_HANDLE_EOF;
    SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
    if (!ok) return atEnd ? 0 : -1;
    return static_cast<long long>(got);
}

void CBoundedFile::Close() {
    if (m_nFd >= 0) {
        CloseHandle(IntToHandle(m_nFd));
        m_nFd = -1;
    }
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
