// Splitting scan text into lines. A line ends at a line feed; a carriage return right before
// the line feed goes with it; a last line without a line end and an empty line both count.
// Lines are bytes, kept exactly as stored. No Qt; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvel {

// Collects the lines of a text fed to it in pieces of any size.
class CLineSplitter {
  public:
    explicit CLineSplitter(std::vector<std::string>& out) : m_lines(out) {}
    // Adds the next piece of the text.
    void Feed(std::string_view piece);
    // Ends the text: a pending last line without a line end is added.
    void Finish();

  private:
    std::vector<std::string>& m_lines;
    std::string m_strPending;
    bool m_bPending = false;  // bytes (possibly none) seen since the last line feed
};

// The lines of a whole text.
std::vector<std::string> SplitLines(std::string_view text);

// Outcome of reading one scan file.
enum class ScanFileRead { kRead, kSkipped };

// Appends to out the lines of the regular file relativePath beneath packageFolder, opened as
// platform/bounded_read.h does (never leaving the folder, only regular files) and read in
// bounded steps. A file that is missing, refused, an absolute name or one with a ".." part, or
// one failing part-way adds nothing and gives kSkipped.
ScanFileRead ReadScanFile(const std::string& packageFolder, const std::string& relativePath,
                          std::vector<std::string>& out);

}  // namespace morvel
