// Console messages in Chinese: written in the source as UTF-8 so that they can be read, put out
// in the ANSI code page (GBK, see platform/codepage.h), the bytes the operators' consoles have
// always shown. Any thread.
#pragma once

namespace common {

#if defined(__GNUC__)
#define TAVRIN_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define TAVRIN_PRINTF_FORMAT(f, a)
#endif

// printf to standard output with utf8Format converted to the ANSI code page, then flushes, so
// that the line is there before a child process or another thread writes. Only the format is
// converted: the arguments (file and table names) are already bytes of the file system or the
// package and pass unchanged. A character the code page lacks becomes '?'.
void ConsolePrintf(const char* utf8Format, ...) TAVRIN_PRINTF_FORMAT(1, 2);

}  // namespace common
