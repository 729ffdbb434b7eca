// Where the window tests find the built program and its language modules: TAVRIN_PROGRAM_DIR
// when the environment sets it, else the build's program folder.
#pragma once

#include <cstdlib>

inline const char* TestProgramFolder() {
    const char* dir = std::getenv("TAVRIN_PROGRAM_DIR");
    return dir && *dir ? dir : MORVEL_BUILD_PROGRAM_DIR;
}
