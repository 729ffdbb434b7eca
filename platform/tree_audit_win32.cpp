#include "platform/tree_audit.h"

#include "platform/system_win32.h"

#include <winioctl.h>

#include <cstring>
#include <cwctype>

#ifndef IO_REPARSE_TAG_AF_UNIX
#define IO_REPARSE_TAG_AF_UNIX 0x80000023L
#endif
#ifndef MAXIMUM_REPARSE_DATA_BUFFER_SIZE
#define MAXIMUM_REPARSE_DATA_BUFFER_SIZE (16 * 1024)
#endif

namespace platform {

namespace {

enum class ELinkEnd { kInside, kOutside, kNowhere };

// The reparse data of a symbolic link or a junction (the system's REPARSE_DATA_BUFFER).
struct SReparseData {
    DWORD nTag;
    WORD nDataLength;
    WORD nReserved;
    WORD nSubstituteOffset;
    WORD nSubstituteLength;
    WORD nPrintOffset;
    WORD nPrintLength;
    // A symbolic link has a ULONG of flags here; a junction starts its names.
};
constexpr ULONG kSymlinkRelative = 1;

std::vector<std::wstring> Components(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The final path of what path leads to, links followed ("\\?\C:\..." form), or empty with
// *error set when it cannot be opened.
std::wstring FinalPath(const std::wstring& path, DWORD* error) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return std::wstring();
    }
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    *error = n == 0 ? GetLastError() : 0;
    CloseHandle(h);
    buffer.resize(n < buffer.size() ? n : 0);
    return buffer;
}

bool IsBelow(const std::wstring& path, const std::wstring& rootFinal) {
    const std::wstring p = Lower(path), r = Lower(rootFinal);
    return p.compare(0, r.size(), r) == 0 && (p.size() == r.size() || p[r.size()] == L'\\');
}

bool IsAbsolute(const std::wstring& target) {
    return (target.size() >= 2 && target[1] == L':') ||
           (!target.empty() && (target[0] == L'\\' || target[0] == L'/'));
}

// Where target leads from the folder `at` (components below root): resolved lexically, as
// Windows resolves "..", and then through the system for whatever part of it exists, so a
// link on the way counts where it leads.
ELinkEnd Resolve(const std::wstring& rootFinal, std::vector<std::wstring> at,
                 const std::wstring& target) {
    std::wstring text = target;
    if (text.rfind(L"\\??\\", 0) == 0) text = text.substr(4);  // a junction's substitute name
    if (text.rfind(L"\\\\?\\", 0) == 0) text = text.substr(4);
    std::wstring base = rootFinal;
    if (IsAbsolute(text)) {
        // Inside only when it names root's own final path or below it.
        std::wstring full = win32::SystemPath(win32::Narrow(text));
        if (!IsBelow(full, rootFinal)) return ELinkEnd::kOutside;
        at.clear();
        text = full.substr(rootFinal.size());
    }
    for (const std::wstring& part : Components(text)) {
        if (part == L".") continue;
        if (part == L"..") {
            if (at.empty()) return ELinkEnd::kOutside;
            at.pop_back();
            continue;
        }
        at.push_back(part);
    }
    // The longest part that exists, followed through the system.
    for (std::size_t n = at.size() + 1; n-- > 0;) {
        std::wstring prefix = rootFinal;
        for (std::size_t i = 0; i < n; ++i) prefix += L"\\" + at[i];
        if (win32::AttributesOf(prefix) == INVALID_FILE_ATTRIBUTES) continue;
        DWORD error = 0;
        const std::wstring final = FinalPath(prefix, &error);
        if (final.empty()) {
            // A chain that loops, or a link whose target is missing.
            if (error == ERROR_CANT_RESOLVE_FILENAME) return ELinkEnd::kOutside;
            return ELinkEnd::kNowhere;
        }
        if (!IsBelow(final, rootFinal)) return ELinkEnd::kOutside;
        return n == at.size() ? ELinkEnd::kInside : ELinkEnd::kNowhere;
    }
    return ELinkEnd::kNowhere;
}

// The target text of a symbolic link or junction; false for any other reparse point.
bool ReadLinkTarget(const std::wstring& path, std::wstring* target) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD got = 0;
    const bool ok = DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), &got, nullptr) != 0;
    CloseHandle(h);
    if (!ok || got < sizeof(SReparseData)) return false;
    const auto* data = reinterpret_cast<const SReparseData*>(buffer.data());
    std::size_t names = sizeof(SReparseData);
    bool relative = false;
    if (data->nTag == IO_REPARSE_TAG_SYMLINK) {
        ULONG flags = 0;
        std::memcpy(&flags, buffer.data() + names, sizeof flags);
        relative = (flags & kSymlinkRelative) != 0;
        names += sizeof(ULONG);
    } else if (data->nTag != IO_REPARSE_TAG_MOUNT_POINT) {
        return false;
    }
    const std::size_t start = names + data->nSubstituteOffset;
    if (start + data->nSubstituteLength > got) return false;
    target->assign(reinterpret_cast<const wchar_t*>(buffer.data() + start),
                   data->nSubstituteLength / sizeof(wchar_t));
    (void)relative;  // a relative target has no drive or leading separator: Resolve tells
    return true;
}

// The root's final path, or empty when root is not a real folder.
std::wstring RootFinal(const std::string& root) {
    const std::wstring path = win32::SystemPath(root);
    const DWORD attributes = win32::AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::wstring();
    DWORD error = 0;
    return FinalPath(path, &error);
}

std::string Relative(const std::vector<std::wstring>& at, const std::wstring& name) {
    std::string path;
    for (const std::wstring& part : at) path += win32::Narrow(part) + "/";
    return path + win32::Narrow(name);
}

// True when the file at path has more than one name.
bool HasOtherNames(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool many = GetFileInformationByHandle(h, &info) && info.nNumberOfLinks > 1;
    CloseHandle(h);
    return many;
}

bool RemoveLinkOrFile(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) != 0
                                                   : DeleteFileW(path.c_str()) != 0;
}

}  // namespace

bool IsRealFolder(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = win32::AttributesOf(win32::SystemPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool LinkLeadsOutside(const std::string& root, const std::string& linkPath,
                      const std::string& target) {
    const std::wstring rootFinal = RootFinal(root);
    if (rootFinal.empty()) return true;
    std::vector<std::wstring> at = Components(win32::Widen(linkPath));
    if (!at.empty()) at.pop_back();  // resolved from the folder holding the link
    return Resolve(rootFinal, at, win32::Widen(target)) == ELinkEnd::kOutside;
}

STreeAudit RemoveUnsafeEntries(const std::string& root) {
    STreeAudit audit;
    const std::wstring rootFinal = RootFinal(root);
    if (rootFinal.empty()) {
        audit.bComplete = false;
        return audit;
    }
    // Links are judged on the tree as unpacked and removed after the walk, so that removing
    // one hop of a chain never makes the others look harmless.
    struct SLink {
        std::wstring strPath;
        std::string strRelative;
        DWORD nAttributes;
        EUnsafeEntry eKind;
    };
    std::vector<SLink> linksOut;
    std::vector<std::vector<std::wstring>> folders{{}};
    while (!folders.empty()) {
        const std::vector<std::wstring> at = std::move(folders.back());
        folders.pop_back();
        std::wstring folder = rootFinal;
        for (const std::wstring& part : at) folder += L"\\" + part;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_FILE_NOT_FOUND) audit.bComplete = false;
            continue;
        }
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            const DWORD attributes = data.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                if (data.dwReserved0 == IO_REPARSE_TAG_AF_UNIX) {
                    if (RemoveLinkOrFile(path, attributes)) {
                        audit.removed.push_back({Relative(at, name), EUnsafeEntry::kSocket});
                    } else {
                        audit.bComplete = false;
                    }
                    continue;
                }
                // Any other kind of reparse point the walk cannot judge is taken as leading out.
                std::wstring target;
                const ELinkEnd end = ReadLinkTarget(path, &target) ? Resolve(rootFinal, at, target)
                                                                   : ELinkEnd::kOutside;
                if (end != ELinkEnd::kInside) {
                    linksOut.push_back({path, Relative(at, name), attributes,
                                        end == ELinkEnd::kOutside ? EUnsafeEntry::kLinkOutside
                                                                  : EUnsafeEntry::kLinkNowhere});
                }
                continue;
            }
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // So that the walk and a later deletion reach everything.
                if (attributes & FILE_ATTRIBUTE_READONLY)
                    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
                std::vector<std::wstring> below = at;
                below.push_back(name);
                folders.push_back(std::move(below));
                continue;
            }
            if (HasOtherNames(path)) {
                if (RemoveLinkOrFile(path, attributes)) {
                    audit.removed.push_back({Relative(at, name), EUnsafeEntry::kHardLink});
                } else {
                    audit.bComplete = false;
                }
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    for (const SLink& link : linksOut) {
        if (RemoveLinkOrFile(link.strPath, link.nAttributes)) {
            audit.removed.push_back({link.strRelative, link.eKind});
        } else {
            audit.bComplete = false;
        }
    }
    return audit;
}

}  // namespace platform
