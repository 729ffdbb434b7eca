# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and std::mutex need). Libraries and headers are looked for only below the
# folders named in CMAKE_FIND_ROOT_PATH (the caller's prefix of cross-built dependencies),
# never among the build machine's own; programs are taken from the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVRIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRIN_MINGW_PREFIX}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TAVRIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no MinGW runtime DLLs to put beside each test program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine on the build machine.
find_program(TAVRIN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVRIN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRIN_WINE})
endif()
