#include "platform/system_win32.h"

#include <cerrno>
#include <mutex>

#include "platform/codepage.h"

namespace platform::win32 {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

std::mutex g_jobMutex;
HANDLE g_processJob = nullptr;  // every child of this process, killed when it ends

HANDLE ProcessJob() {
    std::lock_guard<std::mutex> lock(g_jobMutex);
    if (!g_processJob) g_processJob = CreateKillOnCloseJob();
    return g_processJob;
}

std::mutex g_cpuMutex;
double g_childCpuSeconds = 0.0;

// The program as named, or NAME.exe when the name has no extension and does not exist.
std::wstring ProgramPath(const std::string& program) {
    std::wstring path = SystemPath(program);
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.rfind(L'.');
    const bool hasExtension =
        dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    if (!hasExtension && AttributesOf(path) == INVALID_FILE_ATTRIBUTES) path += L".exe";
    return path;
}

}  // namespace

std::vector<std::size_t> SeparatorOffsets(std::string_view bytes) {
    std::vector<std::size_t> offsets;
    const UINT page = AnsiCodePage();
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("/\\", start);
        if (end == std::string_view::npos) break;
        // UTF-8 never has a '\\' inside a character; a double-byte code page may (GBK's
        // 0x875C is one character): such a name is read by the code page's characters.
        if (bytes[end] == '\\' && !IsValidUtf8(bytes.substr(start, end - start))) {
            std::size_t i = start;
            while (i < bytes.size() && bytes[i] != '/' && bytes[i] != '\\') {
                const bool lead = IsDBCSLeadByteEx(page, static_cast<BYTE>(bytes[i])) != 0;
                i += lead && i + 1 < bytes.size() && bytes[i + 1] != '/' ? 2 : 1;
            }
            end = i;
            if (end == bytes.size()) break;
        }
        offsets.push_back(end);
        start = end + 1;
    }
    return offsets;
}

std::wstring Widen(std::string_view bytes) {
    std::wstring out;
    std::size_t start = 0;
    auto appendName = [&out](std::string_view piece) {
        const std::u16string wide = IsValidUtf8(piece) ? Utf8ToUtf16(piece) : AnsiToUtf16(piece);
        out.append(wide.begin(), wide.end());
    };
    for (std::size_t end : SeparatorOffsets(bytes)) {
        appendName(bytes.substr(start, end - start));
        out.push_back(static_cast<wchar_t>(bytes[end]));
        start = end + 1;
    }
    appendName(bytes.substr(start));
    return out;
}

std::string Narrow(std::wstring_view text) {
    return Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::wstring SystemPath(const std::string& path) {
    if (path.empty()) return std::wstring();
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;  // already in the full form
    DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return L"\\\\?\\" + wide;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    full.resize(size);
    if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // a device path stays one
    if (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1]))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string DisplayPath(std::wstring_view systemPath) {
    std::wstring path(systemPath);
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        path = L"\\\\" + path.substr(8);
    } else if (path.rfind(L"\\\\?\\", 0) == 0) {
        path = path.substr(4);
    }
    std::string text = Narrow(path);
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

int ErrnoFromWin32(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_PRIVILEGE_NOT_HELD:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DIR_NOT_EMPTY:
            return ENOTEMPTY;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_INVALID_HANDLE:
            return EBADF;
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
            return ENOEXEC;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
            return EPIPE;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        default:
            return EIO;
    }
}

std::int64_t FileTimeToUnixNs(const FILETIME& time) {
    const std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) |
                               static_cast<std::int64_t>(time.dwLowDateTime);
    return (ticks - 116444736000000000LL) * 100;
}

DWORD AttributesOf(const std::wstring& systemPath) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(systemPath.c_str(), GetFileExInfoStandard, &data))
        return INVALID_FILE_ATTRIBUTES;
    return data.dwFileAttributes;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal except before a quote, where each one must be doubled.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');  // before the closing quote
    quoted.push_back(L'"');
    return quoted;
}

HANDLE CreateKillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

bool StartChild(const std::string& program, const std::vector<std::string>& argv, SChild* child,
                int* err, HANDLE stdoutHandle, HANDLE stderrHandle, HANDLE job) {
    if (argv.empty()) {
        *err = EINVAL;
        return false;
    }
    std::wstring commandLine;
    for (const std::string& arg : argv) {
        if (!commandLine.empty()) commandLine.push_back(L' ');
        commandLine += QuoteArgument(Widen(arg));
    }
    const std::wstring path = ProgramPath(program);

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    auto inheritable = [](HANDLE h) -> HANDLE {
        if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
        return copy;
    };
    HANDLE out = inheritable(stdoutHandle ? stdoutHandle : GetStdHandle(STD_OUTPUT_HANDLE));
    HANDLE errOut = inheritable(stderrHandle ? stderrHandle : GetStdHandle(STD_ERROR_HANDLE));

    // Only the three standard handles are handed down, never whatever else is inheritable.
    HANDLE handles[3];
    DWORD count = 0;
    for (HANDLE h : {nul, out, errOut})
        if (h && h != INVALID_HANDLE_VALUE) handles[count++] = h;
    SIZE_T attrSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attrSize);
    std::vector<char> attrBuffer(attrSize);
    auto* attrs = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attrBuffer.data());
    bool haveList = InitializeProcThreadAttributeList(attrs, 1, 0, &attrSize) &&
                    (count == 0 ||
                     UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                               count * sizeof(HANDLE), nullptr, nullptr));

    STARTUPINFOEXW info{};
    info.StartupInfo.cb = sizeof info;
    info.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    info.StartupInfo.hStdInput = nul != INVALID_HANDLE_VALUE ? nul : nullptr;
    info.StartupInfo.hStdOutput = out;
    info.StartupInfo.hStdError = errOut;
    if (haveList) info.lpAttributeList = attrs;

    PROCESS_INFORMATION created{};
    // Suspended until it is in the job, so nothing it starts escapes the job.
    DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                  (haveList ? EXTENDED_STARTUPINFO_PRESENT : 0);
    BOOL ok = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                             nullptr, nullptr, &info.StartupInfo, &created);
    const DWORD error = ok ? 0 : GetLastError();
    if (haveList) DeleteProcThreadAttributeList(attrs);
    for (HANDLE h : {nul, out, errOut})
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!ok) {
        *err = ErrnoFromWin32(error);
        return false;
    }
    HANDLE target = job ? job : ProcessJob();
    if (target) AssignProcessToJobObject(target, created.hProcess);
    ResumeThread(created.hThread);
    CloseHandle(created.hThread);
    child->hProcess = created.hProcess;
    child->nPid = created.dwProcessId;
    *err = 0;
    return true;
}

void AddChildCpuTime(HANDLE hProcess) {
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(hProcess, &creation, &exit, &kernel, &user)) return;
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) *
               1e-7;
    };
    std::lock_guard<std::mutex> lock(g_cpuMutex);
    g_childCpuSeconds += seconds(kernel) + seconds(user);
}

double ChildCpuSecondsSoFar() {
    std::lock_guard<std::mutex> lock(g_cpuMutex);
    return g_childCpuSeconds;
}

}  // namespace platform::win32
