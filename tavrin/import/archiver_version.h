// The version of the 7-Zip in the program folder, read from the banner it prints when run
// without arguments. Versions before 26.01 are refused: before 25.01 their handling of links
// let an archive write outside the target folder, and only 26.01 knows the -spod switch the
// import passes.
#pragma once

#include <string>
#include <string_view>

namespace package_import {

// The oldest version the import accepts.
inline constexpr int kMinArchiverMajor = 26;
inline constexpr int kMinArchiverMinor = 1;

struct SArchiverVersion {
    bool bStarted = false;  // the archiver could be started to read its banner
    bool bFound = false;    // a version number was read from the banner
    int nMajor = 0;
    int nMinor = 0;
    std::string strVersion;  // the number as printed, e.g. "26.02"; empty when none was found

    // A version was found and it is 26.01 or later.
    bool Acceptable() const;
};

// Reads the version from banner text such as
// "7-Zip (z) 26.02 (x64) : Copyright (c) 1999-2026 Igor Pavlov : 2026-06-25" (also the forms
// "7-Zip [64] 16.02 : ..." and "7-Zip 9.20 ..."): the first MAJOR.MINOR number after "7-Zip"
// on that line. Nothing is found when no "7-Zip" line carries one.
SArchiverVersion ParseArchiverBanner(std::string_view banner);

// Runs the archiver at archiverPath without arguments (at most 10 s, 64 KiB of output read)
// and parses its banner. Nothing is found when it cannot be started (bStarted false: the
// caller's own start of the archiver will report why) or prints no banner.
// Blocks the calling thread briefly; any thread.
SArchiverVersion ReadArchiverVersion(const std::string& archiverPath);

// The check made once per run before the first import: the version of the archiver at
// archiverPath (normally {programFolder}/7z), read on the first call and kept for the rest of
// the run once it is acceptable (an unacceptable result is read again next time, so replacing
// the archiver needs no restart). Thread-safe.
SArchiverVersion ArchiverVersionForRun(const std::string& archiverPath);

// The text shown when the archiver is refused: format (the language module's string, with one
// "%s") filled with the version found, or with "?" when none was found.
std::string ArchiverRefusalText(std::string_view format, const SArchiverVersion& version);

// Writes the console line of a refused archiver (GBK): "7-Zip 版本过低（%s），需要 26.01 或更新
// 的版本，未解压。\n" with the version found, or "?".
void PrintArchiverRefused(const SArchiverVersion& version);

}  // namespace package_import
