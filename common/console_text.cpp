#include "common/console_text.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/codepage.h"

namespace common {

void ConsolePrintf(const char* utf8Format, ...) {
    // GBK trail bytes are never '%', so the converted format keeps its directives intact.
    const std::string format = platform::Utf8ToAnsi(utf8Format);
    std::va_list args;
    va_start(args, utf8Format);
    std::vprintf(format.c_str(), args);
    va_end(args);
    std::fflush(stdout);
}

}  // namespace common
