#include "platform/process_output.h"

#include "platform/system_win32.h"

#include <algorithm>
#include <chrono>

namespace platform {

CapturedOutput RunAndCaptureOutput(const std::string& program, const std::vector<std::string>& argv,
                                   std::size_t maxBytes, int timeoutMs,
                                   const std::function<bool()>& shouldStop) {
    CapturedOutput result;
    SECURITY_ATTRIBUTES attrs{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE reading = nullptr, writing = nullptr;
    if (!CreatePipe(&reading, &writing, &attrs, 1 << 16)) {
        result.errorCode = win32::ErrnoFromWin32(GetLastError());
        return result;
    }
    win32::SChild child;
    int err = 0;
    const bool started = win32::StartChild(program, argv, &child, &err, writing, writing);
    CloseHandle(writing);
    if (!started) {
        CloseHandle(reading);
        result.errorCode = err;
        return result;
    }
    result.started = true;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    bool bEnded = false;
    while (result.text.size() < maxBytes) {
        if (Clock::now() >= deadline || (shouldStop && shouldStop())) {
            result.timedOut = true;
            break;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(reading, nullptr, 0, nullptr, &available, nullptr)) break;  // all read
        if (available == 0) {
            // Nothing yet: an ended child with nothing left in the pipe has said everything.
            if (bEnded) break;
            bEnded = WaitForSingleObject(child.hProcess, 2) == WAIT_OBJECT_0;
            continue;
        }
        const DWORD want = static_cast<DWORD>(
            std::min<std::size_t>({sizeof buffer, maxBytes - result.text.size(), available}));
        DWORD got = 0;
        if (!ReadFile(reading, buffer, want, &got, nullptr) || got == 0) break;
        result.text.append(buffer, got);
    }
    // The rest is not read: the child meets a broken pipe if it writes on.
    CloseHandle(reading);

    // The end is awaited in short steps, so that a stop request is seen soon.
    while (!result.timedOut && WaitForSingleObject(child.hProcess, 100) != WAIT_OBJECT_0) {
        if (Clock::now() >= deadline || (shouldStop && shouldStop())) result.timedOut = true;
    }
    if (result.timedOut) {
        result.timedOut = true;
        TerminateProcess(child.hProcess, 128 + 9);
        WaitForSingleObject(child.hProcess, INFINITE);
    } else {
        DWORD code = 0;
        if (GetExitCodeProcess(child.hProcess, &code) && code < 0xC0000000u)
            result.exitStatus = static_cast<int>(code);
    }
    CloseHandle(child.hProcess);
    return result;
}

}  // namespace platform
