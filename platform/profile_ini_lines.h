// Inside the platform layer only: the text of private profile files, the same on every
// system; the *_posix.cpp and *_win32.cpp files read and replace the file itself.
#pragma once

#include <string>
#include <vector>

namespace platform::profile {

// The lines of a file's text, without their line ends (LF or CR LF).
std::vector<std::string> SplitLines(const std::string& text);

// The value of key in section as ReadProfileInt gives it, or nDefault when missing.
int IntValue(const std::vector<std::string>& lines, const std::string& section,
             const std::string& key, int nDefault);

// The whole text with key in section set to value (section and key added when missing),
// every line ended by CR LF.
std::string WithValue(std::vector<std::string> lines, const std::string& section,
                      const std::string& key, const std::string& value);

}  // namespace platform::profile
