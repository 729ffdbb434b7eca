#include "platform/command_pipe.h"

#include <stdio.h>
#include <sys/wait.h>

namespace platform {

std::FILE* OpenCommandPipe(const char* command) {
    return popen(command, "w");
}

int CloseCommandPipe(std::FILE* pipe) {
    int status = pclose(pipe);
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace platform
