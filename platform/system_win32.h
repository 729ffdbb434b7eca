// Inside the platform layer only: what its Windows implementations share. Paths and texts
// cross the layer's interface as byte strings ('/'-separated, UTF-8, or the ANSI code page's
// bytes for names that come from package data) and are UTF-16 inside it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

// Text of one path or name as UTF-16. Each '/'- or '\\'-separated piece that is valid UTF-8 is
// read as UTF-8, any other as the ANSI code page (a name taken from package data), so a
// program folder in UTF-8 and a GBK file name below it meet in one path.
std::wstring Widen(std::string_view bytes);

// Offsets, in order, of the bytes of path that separate names: every '/', and every '\\'
// except one that is the second byte of a double-byte character of the ANSI code page inside
// a name that is not UTF-8 (GBK's 0x875C is one character, not a name ending in 0x87). Widen
// splits at these, and so must everything else that cuts narrow path text on Windows.
std::vector<std::size_t> SeparatorOffsets(std::string_view path);

// The Windows code page that AnsiCodePageName() names (936 unless told otherwise).
UINT AnsiCodePage();

// ANSI-code-page bytes to UTF-16. Each byte that starts no valid character is handed to
// onBadByte, which appends what stands for it; decoding goes on with the next byte.
using BadByteFn = void (*)(unsigned char byte, std::u16string& out);
std::u16string DecodeAnsi(std::string_view text, BadByteFn onBadByte);

// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string Narrow(std::wstring_view text);

// The full form of path for the file functions: made absolute against the current folder,
// '/' turned into '\\', "." and ".." resolved as Windows resolves them, and given the "\\?\"
// prefix so that no length limit or DOS device name (CON, NUL...) applies. Empty for an empty
// path.
std::wstring SystemPath(const std::string& path);

// A path for the user: SystemPath's result without the "\\?\" prefix, in UTF-8, with '/'.
std::string DisplayPath(std::wstring_view systemPath);

// The errno value closest to a Windows error code (EIO when none fits).
int ErrnoFromWin32(DWORD error);

// A kernel handle kept in an int of an interface: Windows keeps handle values within 32 bits
// (they are sign-extended when passed between 32- and 64-bit processes).
inline int HandleToInt(HANDLE handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}
inline HANDLE IntToHandle(int value) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(value));
}

// 100-nanosecond intervals since 1601 to nanoseconds since the Unix epoch.
std::int64_t FileTimeToUnixNs(const FILETIME& time);

// The file attributes of path without following a reparse point; INVALID_FILE_ATTRIBUTES when
// it cannot be read.
DWORD AttributesOf(const std::wstring& systemPath);

// One process started by StartChild.
struct SChild {
    HANDLE hProcess = nullptr;
    DWORD nPid = 0;
};

// Starts program with argv (argv[0] included) through CreateProcessW, with the command line
// quoted so that the child's own parser gets argv back, standard input from NUL, and standard
// output and error from stdoutHandle and stderrHandle (inherited when null). A program named
// without an extension that does not exist as named is started as NAME.exe. The child is put
// into job (when not null), else into the process's own job that ends every child when this
// process ends. Returns false with *err set to an errno value. Thread-safe.
bool StartChild(const std::string& program, const std::vector<std::string>& argv, SChild* child,
                int* err, HANDLE stdoutHandle = nullptr, HANDLE stderrHandle = nullptr,
                HANDLE job = nullptr);

// A new job that kills its processes when its last handle closes, nested in the process's own
// job; null when the system refuses.
HANDLE CreateKillOnCloseJob();

// Adds the user and kernel time of an ended child to the figure ChildrenCpuSeconds reports.
void AddChildCpuTime(HANDLE hProcess);
double ChildCpuSecondsSoFar();

// Quotes one argument for a command line as the C runtime's parser reads it back.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace platform::win32
