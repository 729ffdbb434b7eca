#include "platform/spawn.h"

#include "platform/system_win32.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

namespace {

using win32::SChild;

// The exit code of an ended child into the result: codes from 0xC0000000 on are the system's
// reports of a crash (an access violation, an abort), which POSIX reports as a signal.
void RecordExit(HANDLE hProcess, SpawnResult& result) {
    DWORD code = 0;
    if (!GetExitCodeProcess(hProcess, &code)) return;
    if (code >= 0xC0000000u) return;
    result.exitStatus = static_cast<int>(code);
}

void WaitAndRecord(HANDLE hProcess, SpawnResult& result) {
    WaitForSingleObject(hProcess, INFINITE);
    RecordExit(hProcess, result);
    win32::AddChildCpuTime(hProcess);
    CloseHandle(hProcess);
}

}  // namespace

SpawnResult SpawnAndWait(const std::string& program, const std::vector<std::string>& argv) {
    SpawnResult result;
    SChild child;
    int err = 0;
    if (!win32::StartChild(program, argv, &child, &err)) {
        result.errorCode = err;
        return result;
    }
    result.started = true;
    WaitAndRecord(child.hProcess, result);
    return result;
}

SpawnResult SpawnWatched(const std::string& program, const std::vector<std::string>& argv,
                         const OutputSink& sink, const StopRequest& stop, int pollMs) {
    SpawnResult result;
    if (argv.empty()) {
        result.errorCode = EINVAL;
        return result;
    }
    // Windows gives a program no terminal to find here: its output comes through a pipe.
    SECURITY_ATTRIBUTES attrs{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, &attrs, 1 << 16)) {
        result.errorCode = win32::ErrnoFromWin32(GetLastError());
        return result;
    }
    // A job of its own, so that a stop also ends whatever the child started.
    HANDLE job = win32::CreateKillOnCloseJob();
    SChild child;
    int err = 0;
    const bool started = win32::StartChild(program, argv, &child, &err, writing, nullptr, job);
    // Only the child may hold the writing end: its end is the output's end.
    CloseHandle(writing);
    if (!started) {
        CloseHandle(reading);
        if (job) CloseHandle(job);
        result.errorCode = err;
        return result;
    }
    result.started = true;

    char buffer[16384];
    const DWORD wait = static_cast<DWORD>(pollMs < 1 ? 1 : pollMs);
    // The stop and the child's end are looked at every wait, also while the child writes
    // without pause (a stop would otherwise wait until it fell quiet).
    const auto interval = std::chrono::milliseconds(wait);
    auto lastLooked = std::chrono::steady_clock::now();
    bool bEnded = false;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(reading, nullptr, 0, nullptr, &available, nullptr)) break;  // drained
        if (available > 0) {
            DWORD got = 0;
            if (!ReadFile(reading, buffer, sizeof buffer < available ? sizeof buffer : available,
                          &got, nullptr))
                break;
            if (got > 0 && sink) sink(buffer, got);
            if (std::chrono::steady_clock::now() - lastLooked < interval) continue;
        }
        lastLooked = std::chrono::steady_clock::now();
        if (!result.stopped && stop && stop()) {
            if (job) {
                TerminateJobObject(job, 128 + 9);
            } else {
                TerminateProcess(child.hProcess, 128 + 9);
            }
            result.stopped = true;
        }
        if (!bEnded &&
            WaitForSingleObject(child.hProcess, available > 0 ? 0 : wait) == WAIT_OBJECT_0)
            bEnded = true;
        if (bEnded) {
            // A process the child left behind may keep the output open: the child's own end
            // decides, and what it wrote before it ended is read first.
            while (PeekNamedPipe(reading, nullptr, 0, nullptr, &available, nullptr) &&
                   available > 0) {
                DWORD got = 0;
                if (!ReadFile(reading, buffer,
                              sizeof buffer < available ? sizeof buffer : available, &got,
                              nullptr) ||
                    got == 0)
                    break;
                if (sink) sink(buffer, got);
            }
            break;
        }
    }
    CloseHandle(reading);
    WaitForSingleObject(child.hProcess, INFINITE);
    if (!result.stopped) RecordExit(child.hProcess, result);
    win32::AddChildCpuTime(child.hProcess);
    CloseHandle(child.hProcess);
    if (job) CloseHandle(job);
    return result;
}

int SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                  int* errorCode) {
    SChild child;
    int err = 0;
    if (!win32::StartChild(program, argv, &child, &err)) {
        if (errorCode) *errorCode = err;
        return -1;
    }
    if (errorCode) *errorCode = 0;
    // Windows keeps no zombies; the handle is simply let go.
    CloseHandle(child.hProcess);
    return static_cast<int>(child.nPid);
}

}  // namespace platform
