#include "players/stand_in_args.h"

#include <algorithm>
#include <fstream>

std::string JoinArguments(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text.push_back(' ');
        text += argv[i];
    }
    return text;
}

std::vector<std::string> SplitTildeFields(const std::string& text) {
    std::vector<std::string> fields;
    if (text.empty()) return fields;
    if (text.front() != '~') return {text};
    size_t start = 1;
    for (;;) {
        size_t next = text.find(" ~", start);
        if (next == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, next - start));
        start = next + 2;
    }
}

std::string ShownFile(const std::string& playerName, const std::vector<std::string>& fields) {
    if (fields.empty()) return std::string();
    if (playerName == "Fennic" || playerName == "OndrixS") return fields.front();
    return std::string();
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines, bool* truncated,
                   size_t maxBytes) {
    lines.clear();
    if (truncated) *truncated = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string data(maxBytes, '\0');
    in.read(data.data(), static_cast<std::streamsize>(maxBytes));
    data.resize(static_cast<size_t>(in.gcount()));
    if (truncated) *truncated = in.peek() != std::char_traits<char>::eof();
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        size_t stop = end == std::string::npos ? data.size() : end;
        size_t len = stop - start;
        if (len > 0 && data[stop - 1] == '\r') --len;
        lines.push_back(data.substr(start, len));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return true;
}

int PageCount(size_t nLines, int nPerPage) {
    if (nPerPage <= 0 || nLines == 0) return 1;
    return static_cast<int>((nLines + static_cast<size_t>(nPerPage) - 1) / nPerPage);
}

std::vector<std::string> PageLines(const std::vector<std::string>& lines, int nPage, int nPerPage) {
    if (nPerPage <= 0) return {};
    const int pages = PageCount(lines.size(), nPerPage);
    nPage = std::clamp(nPage, 1, pages);
    const size_t first = static_cast<size_t>(nPage - 1) * nPerPage;
    if (first >= lines.size()) return {};
    const size_t last = std::min(lines.size(), first + nPerPage);
    return std::vector<std::string>(lines.begin() + first, lines.begin() + last);
}
