#include "platform/command_pipe.h"

#include "platform/system_win32.h"

#include <stdio.h>

namespace platform {

std::FILE* OpenCommandPipe(const char* command) {
    // The command interpreter (cmd.exe /c) stands in for /bin/sh; binary mode keeps the bytes.
    std::wstring text = win32::Widen(command ? command : "");
    return _wpopen(text.c_str(), L"wb");
}

int CloseCommandPipe(std::FILE* pipe) {
    const int status = _pclose(pipe);
    return status < 0 ? -1 : status;
}

}  // namespace platform
