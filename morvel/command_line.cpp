#include "morvel/command_line.h"

#include "platform/paths.h"

namespace morvel {

namespace {

// Position of the first "~" at or after start, or -1; -1 also when start is not inside text.
long Find(std::string_view text, long start) {
    if (start < 0 || start >= static_cast<long>(text.size())) return -1;
    size_t pos = text.find('~', static_cast<size_t>(start));
    return pos == std::string_view::npos ? -1 : static_cast<long>(pos);
}

}  // namespace

std::string CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text.push_back(' ');
        text.append(argv[i] ? argv[i] : "");
    }
    size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first);
}

MorvelArguments ParseCommandLineText(std::string_view text) {
    MorvelArguments args;
    const long p2 = Find(text, 1);
    const long p3 = Find(text, p2 + 1);
    const long p4 = Find(text, p3 + 1);
    const long start = p3 + 1;
    const long length = p4 - p3 - 2;
    if (length > 0 && start < static_cast<long>(text.size())) {
        args.strSessionName =
            std::string(text.substr(static_cast<size_t>(start), static_cast<size_t>(length)));
    }
    size_t last = text.rfind('~');
    if (last != std::string_view::npos && last >= 1 && text[last - 1] == ' ' && p4 >= 0 &&
        static_cast<size_t>(p4) < last) {
        args.find = common::DecodeViewerFindField(text.substr(last + 1));
        if (args.find) {
            text = text.substr(0, last - 1);
            last = text.rfind('~');
        }
    }
    args.strPackage = std::string(last == std::string_view::npos ? text : text.substr(last + 1));
    return args;
}

std::string PackageFolder(const std::string& programFolder, const std::string& package) {
    return programFolder + platform::kPathSeparator + package;
}

std::string ParentDbPath(const std::string& programFolder, const std::string& package) {
    return PackageFolder(programFolder, package) + platform::kPathSeparator + package + "Parent.db";
}

}  // namespace morvel
