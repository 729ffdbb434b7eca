// What a stand-in player shows, without a window: the fields of its command line and the
// pages of a text file. Any thread.
#pragma once

#include <string>
#include <vector>

// The command-line text as the players receive it: the arguments after the program name
// joined by one blank.
std::string JoinArguments(int argc, char** argv);

// Splits a "~"-separated argument text ("~a ~b ~c") into its fields ("a", "b", "c"): each
// field runs from a "~" to the blank before the next " ~" (or the end), so blanks inside a
// field stay. A text that does not begin with "~" is one field as it is.
std::vector<std::string> SplitTildeFields(const std::string& text);

// The file a player shows: Fennic is given the path alone, OndrixS the path as its first
// field. Empty for the other players.
std::string ShownFile(const std::string& playerName, const std::vector<std::string>& fields);

// Lines of a file's text for paging; a final line without a line end counts, CR before LF is
// dropped. At most maxBytes are read; *truncated tells whether the file was longer. Returns
// false when the file cannot be opened.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, bool* truncated,
                   size_t maxBytes = 16u << 20);

// Pages of nPerPage lines: the page count (at least 1) and the lines of page nPage (from 1;
// clamped into range).
int PageCount(size_t nLines, int nPerPage);
std::vector<std::string> PageLines(const std::vector<std::string>& lines, int nPage, int nPerPage);
