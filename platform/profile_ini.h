// Private profile files: small INI files of "[section]" headers and "key=value" lines, read
// and written the way the desktop platform's profile functions do (section and key names
// compared without regard to ASCII case, blanks around names and values ignored).
// Any thread, but concurrent writers of one file are not coordinated.
#pragma once

#include <string>

namespace platform {

// The integer value of key in section of the file at path: the value's leading decimal
// digits (an optional sign first), 0 when it has none. nDefault when the file, the section or
// the key is missing.
int ReadProfileInt(const std::string& path, const std::string& section, const std::string& key,
                   int nDefault);

// Sets key in section of the file at path to value, creating the file, the section or the
// key as needed and keeping every other line. The file is replaced as a whole (written
// beside it, then renamed over it), so a failure leaves the old file intact. Returns true on
// success.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace platform
