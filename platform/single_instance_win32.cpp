#include "platform/single_instance.h"

#include "platform/system_win32.h"

#include <cstdint>
#include <cwctype>

namespace platform {

namespace {

bool IsRealFolderPath(const std::wstring& path) {
    const DWORD attributes = win32::AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The semaphore's name: the program's own ("Tavrin.exe") in the user's runtime folder, so a
// copy started any way finds it; in another folder (a test's) the name is made unique to that
// folder. Object names are per logon session ("Local\"), as the runtime folder is per user.
std::wstring SemaphoreName(const std::string& folder, const std::string& name) {
    std::wstring result = L"Local\\" + win32::Widen(name);
    if (folder == UserRuntimeFolder()) return result;
    std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a over the folder's full path
    for (wchar_t c : win32::SystemPath(folder)) {
        hash ^= static_cast<std::uint64_t>(std::towlower(c));
        hash *= 1099511628211ULL;
    }
    wchar_t suffix[24];
    swprintf(suffix, 24, L"@%016llx", static_cast<unsigned long long>(hash));
    return result + suffix;
}

}  // namespace

std::string UserRuntimeFolder() {
    if (const wchar_t* xdg = _wgetenv(L"XDG_RUNTIME_DIR"); xdg && *xdg) {
        const std::string folder = win32::Narrow(xdg);
        if (IsRealFolderPath(win32::SystemPath(folder))) return folder;
    }
    // The user's own local application data, which no other user may write to.
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (!local || !*local) return {};
    const std::string folder = win32::Narrow(local) + "/Tavrin";
    const std::wstring wide = win32::SystemPath(folder);
    CreateDirectoryW(wide.c_str(), nullptr);
    if (!IsRealFolderPath(wide)) return {};
    return win32::DisplayPath(wide);
}

CInstanceLock::CInstanceLock(const std::string& folder, const std::string& name)
    : m_strPath(folder + "/" + name + ".lock") {
    // The marker is the named semaphore, which the system destroys with its last handle, also
    // when the holder crashes; the folder must still be a real one, as on POSIX.
    if (folder.empty() || !IsRealFolderPath(win32::SystemPath(folder))) return;
    const std::wstring semaphore = SemaphoreName(folder, name);
    HANDLE h = CreateSemaphoreW(nullptr, 1, 1, semaphore.c_str());  // never inherited
    if (!h) return;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        m_state = State::kHeldElsewhere;
        return;
    }
    m_nFd = win32::HandleToInt(h);
    m_state = State::kAcquired;
}

CInstanceLock::~CInstanceLock() {
    if (m_nFd >= 0) CloseHandle(win32::IntToHandle(m_nFd));
}

}  // namespace platform
