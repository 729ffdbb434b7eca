// Unpacking a package with the 7-Zip archiver that lies in the program folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace package_import {

// The archiver's path in double quotes, as the console line shows it:
// "\"" + programFolder + "/7z\"". The dialog builds it once, at construction.
std::string Make7zCommand(const std::string& programFolder);

// The archiver's program path inside a command text made by Make7zCommand (the quotes
// removed; a text without quotes is taken as it is).
std::string ArchiverProgram(const std::string& str7zCommand);

// Which entries of the archive one run unpacks: every one (both lists empty), only those in
// only, or every one but those in except. Names are paths inside the archive, taken literally
// ('*' included); a name must not begin with '-'. An entry stored twice under one name is
// unpacked, or left out, every time.
struct SArchiveEntries {
    std::vector<std::string> only;
    std::vector<std::string> except;
};

// The archiver's argument vector: 7z x -ttar -y -spd -spod ARCHIVE -oFOLDER, with
// "-x!NAME" before ARCHIVE for each name of entries.except and the names of entries.only after
// -oFOLDER. The format is fixed (a ZIP file renamed .tar is not unpacked as ZIP), no question is
// ever asked (-y), and '*' in either path is taken literally (-spd, -spod). An archive path that
// begins with '-' gets "./" in front so it cannot be read as a switch.
std::vector<std::string> ArchiverArguments(const std::string& archive, const std::string& folder,
                                           const SArchiveEntries& entries = {});

// The command line printed on the console: the quoted archiver path, then the arguments of
// ArchiverArguments after argv[0], the paths in double quotes (the -o switch is followed
// directly by the quoted folder, -x! by the quoted name).
std::string ArchiverCommandLine(const std::string& str7zCommand, const std::string& archive,
                                const std::string& folder, const SArchiveEntries& entries = {});

// What became of one archiver run.
struct ArchiverResult {
    bool started = false;  // false: the archiver could not be started
    int errorCode = 0;     // errno of a failed start
    int exitStatus = -1;   // the archiver's exit status; -1 when it was killed
    int termSignal = 0;    // the signal that killed it, else 0
    bool stopped = false;  // it was stopped because the watch asked for it

    // The archiver ran and reported success (exit status 0).
    bool Succeeded() const { return started && exitStatus == 0; }
};

// Runs the archiver on archive with folder as output (the archiver creates it if needed) and
// waits for it to end. Writes to standard output, in the ANSI code page: the command line and
// the archiver's path, each followed by a line end; then "运行失败！%d\n" with the error code
// when the archiver cannot be started, or "进程1退出！" (no line end) once it has ended.
// Standard output is flushed before the archiver starts so its own output follows ours.
// Blocks the calling thread for the whole extraction; any thread may call it.
ArchiverResult RunArchiver(const std::string& str7zCommand, const std::string& archive,
                           const std::string& folder, const SArchiveEntries& entries = {});

// Following one archiver run while it works. Both functions are called on the thread running
// the archiver and may be empty.
struct SArchiverWatch {
    std::function<void(int nPercent)> onPercent;  // the archiver's own percentage, when it grows
    std::function<bool()> shouldStop;             // asked about ten times a second; true stops it
};

// RunArchiver with the same arguments and console text, watched: the archiver writes to a
// terminal of its own, so that it shows its progress; its progress texts are taken out of what
// reaches standard output, which otherwise gets the archiver's lines as they come. When
// shouldStop answers true the archiver is killed; the result then has stopped set (and is no
// success).
ArchiverResult RunArchiver(const std::string& str7zCommand, const std::string& archive,
                           const std::string& folder, const SArchiverWatch& watch,
                           const SArchiveEntries& entries = {});

}  // namespace package_import
