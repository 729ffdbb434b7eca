// The fields a package's file name carries: package name, kind and date range.
//
// A package file is named prefix_kind_start_end.tar (dates year-month-day). Every component
// that touches a package (import, package switch, shutdown, Morvel) derives the same fields
// from it with these functions. All functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace workspace {

// The fields of one package name. For "a_log_2016-09-01_2016-09-10" these are
// name "a_log_2016-09-01_2016-09-10", head "a_log_2016-09-01", start date "2016-09-01",
// end date "2016-09-10" and kind "log".
struct PackageName {
    std::string strName;       // the file name without its last four characters (".tar")
    std::string strHead;       // text before the last "_" of the name
    std::string strStartDate;  // text after the last "_" of the head
    std::string strEndDate;    // text after the last "_" of the name
    std::string strKind;       // field after the head's first "_", up to the next "_"
};

// Splits a package name (the file name already stripped of ".tar") into its fields. A missing
// separator counts as position -1: "text after" it is then the whole text and "text before"
// it is empty. So a name without any "_" has itself as end date and start date, an empty head
// and an empty kind.
PackageName SplitPackageName(std::string_view name);

// The file-name part of a path: the text after its last '/' (the whole text without one).
std::string_view FileNameOfPath(std::string_view path);

// Splits the package file at path (or a bare file name): its name is the file name minus its
// last four characters (characters, not bytes: UTF-8 sequences count as one), then as
// SplitPackageName. A file name of four characters or fewer gives an empty name.
PackageName PackageNameFromFile(std::string_view path);

// Longest package name in bytes: its longest derived file, "{name}Parent.db-journal", must
// still fit the file-name limit of 255 bytes.
inline constexpr std::size_t kMaxPackageNameBytes = 255 - 17;

// True when name is one the program folder needs for itself: a program, a language module,
// table.sql, 7z, processid and the like (ASCII letters compared without case, so that no
// spelling of them is taken on a file system that ignores case).
bool IsProgramFolderEntryName(std::string_view name);

// True when name can serve as a work-folder name beside the program: not empty, not "." or
// "..", without '/' or NUL bytes, not a name the program folder needs
// (IsProgramFolderEntryName) and at most kMaxPackageNameBytes long. The work folder is
// deleted with everything in it when Tavrin closes, so a name failing this test must never be
// used to build one (an empty name would make the program folder itself the work folder; the
// name "processid" its registry).
bool IsUsablePackageName(std::string_view name);

}  // namespace workspace
