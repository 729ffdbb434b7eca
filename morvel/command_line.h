// Morvel's command line. Tavrin starts the viewer with four fields, each introduced by "~"
// and separated by one blank: "~<kind> ~<number> ~<session name> ~<package name>", and, when
// it opens the viewer on a found text, a fifth: " ~find:LINE:TEXT" (common/viewer_find_field.h).
// The viewer uses the session name, the package name and the fifth field. No Qt; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/viewer_find_field.h"

namespace morvel {

struct MorvelArguments {
    std::string strSessionName;  // third field; empty when the text has too few fields
    std::string strPackage;      // text after the last "~" (all of the text when there is none)
    std::optional<common::SViewerFind> find;  // the fifth field, when there is a valid one
};

// The command-line text: the arguments after the program name joined by one blank, with
// leading blanks removed (as the system's command-line text without the program name).
// argv[0] is the program name; argc < 2 gives an empty text.
std::string CommandLineText(int argc, const char* const* argv);

// Splits the command-line text. The session name is the text between the third and the fourth
// "~" found from position 1, without its last character (the separating blank); missing
// markers give an empty or partial name, never an error. A package name holding "~" keeps only
// what follows its last "~". A valid fifth field after four others (a blank, "~", then the
// field) is taken off first: the package is then the text after the last "~" before it, up
// to that blank. Anything else after the last "~" is the package, as without a fifth field.
MorvelArguments ParseCommandLineText(std::string_view text);

// Path of the package's Parent.db: "{programFolder}/{package}/{package}Parent.db".
std::string ParentDbPath(const std::string& programFolder, const std::string& package);

// Folder of the package: "{programFolder}/{package}".
std::string PackageFolder(const std::string& programFolder, const std::string& package);

// The sessions directory relative to the package folder, with a trailing separator.
inline constexpr std::string_view kSessionsSubfolder = "var/utm/data/sessions/";

}  // namespace morvel
