#include "platform/bounded_read.h"

#include "platform/system_win32.h"

#include <utility>
#include <vector>

namespace platform {

namespace {

using win32::HandleToInt;

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

bool CBoundedFile::OpenBeneath(const std::string& root, std::string_view relPath) {
    Close();
    if (root.empty()) return false;
    // Both separators divide names on Windows, so a "\.." inside a name is a step too; but
    // the 0x5C of a GBK character ("\x87\x5C" is one character) is no separator.
    std::string rel(relPath);
    for (std::size_t offset : win32::SeparatorOffsets(rel)) rel[offset] = '/';
    const auto steps = StepsBeneath(rel, "/");
    if (!steps) return false;
    std::vector<std::wstring> parts;
    for (const std::string& step : *steps) {
        std::wstring part = win32::Widen(step);
        // A colon names a drive, or an alternate data stream of the file before it.
        if (part.find(L':') != std::wstring::npos) return false;
        parts.push_back(std::move(part));
    }

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
            LARGE_INTEGER size{};
            if (GetFileSizeEx(h, &size)) m_nSizeAtOpen = static_cast<std::uint64_t>(size.QuadPart);
        } else {
            held.push_back(h);
        }
    }
    release();
    return true;
}

// Each file is opened from the root: the walk holds every step open anyway.
CBeneathOpener::CBeneathOpener(std::string root) : m_strRoot(std::move(root)) {}

CBeneathOpener::~CBeneathOpener() = default;

void CBeneathOpener::CloseAll() {}

CBeneathOpener::KeptFolder* CBeneathOpener::Folder(const std::string&) {
    return nullptr;
}

bool CBeneathOpener::Open(std::string_view relPath, CBoundedFile& file) {
    return file.OpenBeneath(m_strRoot, relPath);
}

std::optional<std::uint64_t> CBeneathOpener::RegularFileSize(std::string_view relPath) {
    CBoundedFile file;
    if (!Open(relPath, file)) return std::nullopt;
    return file.SizeAtOpen();
}

}  // namespace platform
