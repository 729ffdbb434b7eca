#include "tavrin/import/archive_extractor.h"

#include <cstdio>

#include "common/console_text.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/spawn.h"
#include "tavrin/import/archiver_progress.h"

namespace package_import {

std::string Make7zCommand(const std::string& programFolder) {
    return "\"" + platform::JoinPath(programFolder, "7z") + "\"";
}

std::string ArchiverProgram(const std::string& str7zCommand) {
    std::string program = str7zCommand;
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"') {
        program = program.substr(1, program.size() - 2);
    }
    return program;
}

namespace {

std::string SafeArchivePath(const std::string& archive) {
    return !archive.empty() && archive.front() == '-' ? "./" + archive : archive;
}

}  // namespace

std::vector<std::string> ArchiverArguments(const std::string& archive, const std::string& folder,
                                           const SArchiveEntries& entries) {
    std::vector<std::string> args = {"7z", "x", "-ttar", "-y", "-spd", "-spod"};
    for (const std::string& name : entries.except) args.push_back("-x!" + name);
    args.push_back(SafeArchivePath(archive));
    args.push_back("-o" + folder);
    args.insert(args.end(), entries.only.begin(), entries.only.end());
    return args;
}

std::string ArchiverCommandLine(const std::string& str7zCommand, const std::string& archive,
                                const std::string& folder, const SArchiveEntries& entries) {
    std::string line = str7zCommand + " x -ttar -y -spd -spod";
    for (const std::string& name : entries.except) line += " -x!\"" + name + "\"";
    line += " \"" + SafeArchivePath(archive) + "\" -o\"" + folder + "\"";
    for (const std::string& name : entries.only) line += " \"" + name + "\"";
    return line;
}

namespace {

// The console lines around a run, and its result; run starts the archiver and waits for it.
template <typename Run>
ArchiverResult RunArchiverWith(const std::string& str7zCommand, const std::string& archive,
                               const std::string& folder, const SArchiveEntries& entries, Run run) {
    std::string program = ArchiverProgram(str7zCommand);
    std::printf(
        "%s\n%s\n",
        platform::Utf8ToAnsi(ArchiverCommandLine(str7zCommand, archive, folder, entries)).c_str(),
        platform::Utf8ToAnsi(program).c_str());
    std::fflush(stdout);

    platform::SpawnResult spawned = run(program, ArchiverArguments(archive, folder, entries));
    ArchiverResult result;
    result.started = spawned.started;
    result.errorCode = spawned.errorCode;
    result.exitStatus = spawned.exitStatus;
    result.termSignal = spawned.termSignal;
    result.stopped = spawned.stopped;
    if (!spawned.started) {
        common::ConsolePrintf("运行失败！%d\n", spawned.errorCode);
    } else {
        common::ConsolePrintf("进程1退出！");
    }
    return result;
}

}  // namespace

ArchiverResult RunArchiver(const std::string& str7zCommand, const std::string& archive,
                           const std::string& folder, const SArchiveEntries& entries) {
    return RunArchiverWith(str7zCommand, archive, folder, entries,
                           [](const std::string& program, const std::vector<std::string>& argv) {
                               return platform::SpawnAndWait(program, argv);
                           });
}

ArchiverResult RunArchiver(const std::string& str7zCommand, const std::string& archive,
                           const std::string& folder, const SArchiverWatch& watch,
                           const SArchiveEntries& entries) {
    CArchiverOutput output;
    std::string console;
    // The archiver's own lines reach standard output as soon as they are complete.
    auto writeConsole = [&console] {
        if (console.empty()) return;
        std::fwrite(console.data(), 1, console.size(), stdout);
        std::fflush(stdout);
        console.clear();
    };
    auto sink = [&](const char* data, std::size_t size) {
        const int before = output.Percent();
        output.Feed(data, size, &console);
        writeConsole();
        if (output.Percent() > before && watch.onPercent) watch.onPercent(output.Percent());
    };
    return RunArchiverWith(str7zCommand, archive, folder, entries,
                           [&](const std::string& program, const std::vector<std::string>& argv) {
                               platform::SpawnResult spawned =
                                   platform::SpawnWatched(program, argv, sink, watch.shouldStop);
                               output.Finish(&console);
                               writeConsole();
                               return spawned;
                           });
}

}  // namespace package_import
