// Paths and simple file queries. Paths are byte strings: the program folder and package file
// names are in the locale's encoding (UTF-8); names taken from package data are used as the
// bytes the package holds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The separator the programs put into paths: '/' on every system (Windows takes it as well,
// and its layer turns it into '\\' where the system needs that).
inline constexpr char kPathSeparator = '/';

// Folder of the running executable, without a trailing separator. Read afresh on every call.
// The environment variable TAVRIN_PROGRAM_DIR, when set, overrides it (tests use this to run
// library code against a program folder of their own). Empty when it cannot be determined.
std::string ProgramFolder();

// Joins two path pieces with exactly one separator between them.
std::string JoinPath(std::string_view a, std::string_view b);

// True when the path names an existing file system object (links are followed).
bool PathExists(const std::string& path);

// True when the path names an existing directory (links are followed).
bool IsDirectory(const std::string& path);

// Size in bytes of the regular file at path, or nothing when it is missing or not a file.
std::optional<std::uint64_t> FileSize(const std::string& path);

// True when something exists at path itself (a symbolic link counts, and is not followed).
bool EntryExists(const std::string& path);

// Size of the file at path when it is a regular file that opens for reading (links are
// followed); nothing otherwise. The open never blocks: a FIFO or device is refused, not read.
std::optional<std::uint64_t> ReadableFileSize(const std::string& path);

// True when a and b spell the same path as the system compares names: byte for byte on
// POSIX; on Windows without regard to case (each UTF-16 unit upper-cased, as NTFS does) and
// with '/' and '\\' alike. Spelling only: no links are resolved, no "." or ".." removed.
bool SamePath(std::string_view a, std::string_view b);

// Creates one folder (its parent must exist). mode is the permission bits, for example 0700.
// Returns true on success; false also when the folder already existed.
bool CreateFolder(const std::string& path, unsigned mode = 0755);

// Creates a folder and every missing parent. Returns true when the folder exists afterwards.
bool CreateFolderTree(const std::string& path, unsigned mode = 0755);

}  // namespace platform
