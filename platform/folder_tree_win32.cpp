#include "platform/folder_tree.h"

#include "platform/system_win32.h"

namespace platform {

namespace {

struct SEntry {
    std::wstring strName;
    DWORD nAttributes;
};

// The entries of the folder at systemPath, except "." and "..". False when it cannot be read.
bool ListFolder(const std::wstring& systemPath, std::vector<SEntry>* entries) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((systemPath + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        entries->push_back({name, data.dwFileAttributes});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return true;
}

// Removes one entry that is not a real folder: a file, or a link or junction itself (a
// reparse point that is a folder is removed as a folder, which never touches its target).
// Read-only, hidden and system attributes are cleared first, since they refuse a deletion.
bool RemoveEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str())
                                                                 : DeleteFileW(path.c_str());
    return removed || GetLastError() == ERROR_FILE_NOT_FOUND ||
           GetLastError() == ERROR_PATH_NOT_FOUND;
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool DeleteFolderTree(const std::string& path) {
    if (path.empty()) return true;
    const std::wstring root = win32::SystemPath(path);
    const DWORD rootAttributes = win32::AttributesOf(root);
    if (rootAttributes == INVALID_FILE_ATTRIBUTES)
        return false;  // a missing folder was not removed
    if (IsLink(rootAttributes)) return RemoveEntry(root, rootAttributes);
    if ((rootAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;

    // Depth first without recursion, so no depth of nesting exhausts the stack: folders are
    // emptied in the order found and removed in the reverse order.
    std::vector<std::pair<std::wstring, DWORD>> folders{{root, rootAttributes}};
    for (std::size_t next = 0; next < folders.size(); ++next) {
        const std::wstring folder = folders[next].first;
        std::vector<SEntry> entries;
        ListFolder(folder, &entries);
        for (const SEntry& entry : entries) {
            const std::wstring child = folder + L"\\" + entry.strName;
            if ((entry.nAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(entry.nAttributes)) {
                folders.emplace_back(child, entry.nAttributes);
            } else {
                RemoveEntry(child, entry.nAttributes);
            }
        }
    }
    for (std::size_t i = folders.size(); i-- > 0;) RemoveEntry(folders[i].first, folders[i].second);
    return win32::AttributesOf(root) == INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    if (path.empty()) return names;
    const std::wstring folder = win32::SystemPath(path);
    const DWORD attributes = win32::AttributesOf(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsLink(attributes) ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return names;
    std::vector<SEntry> entries;
    ListFolder(folder, &entries);
    for (const SEntry& entry : entries) names.push_back(win32::Narrow(entry.strName));
    return names;
}

bool MakeEntryWritable(const std::string& path) {
    const std::wstring wide = win32::SystemPath(path);
    const DWORD attributes = win32::AttributesOf(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (IsLink(attributes) || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    return SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

bool DeleteFileEntry(const std::string& path) {
    if (path.empty()) return false;
    const std::wstring wide = win32::SystemPath(path);
    const DWORD attributes = win32::AttributesOf(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(attributes)) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(wide.c_str()) != 0
                                                   : DeleteFileW(wide.c_str()) != 0;
}

}  // namespace platform
