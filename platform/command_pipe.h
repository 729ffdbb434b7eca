// Writing into the standard input of a shell command.
#pragma once

#include <cstdio>

namespace platform {

// Runs command through the system shell (/bin/sh -c) with its standard input connected to
// the returned stream, which the caller writes to and must close with CloseCommandPipe (never
// fclose). Returns null when the pipe or the process cannot be made.
std::FILE* OpenCommandPipe(const char* command);

// Closes a stream from OpenCommandPipe and waits for the command to end. Returns the
// command's exit status, or -1 when it did not exit normally or the wait failed.
int CloseCommandPipe(std::FILE* pipe);

}  // namespace platform
