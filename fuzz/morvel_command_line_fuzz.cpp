// Fuzz target: Morvel's command line. Whatever Tavrin or anyone else passes, the parse stays
// within the text; and the argument text Tavrin builds ("~kind ~code ~name ~package") gives
// back exactly the session name and package it carries when neither holds a "~", and with
// a fifth field the text to find it carries, whatever its bytes.
//
// Input layout: the bytes up to the first NUL are the session name, the rest the package; the
// whole input, cut at NUL bytes, also serves as an argument vector.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "morvel/command_line.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    morvel::MorvelArguments parsed = morvel::ParseCommandLineText(input);
    check(parsed.strPackage.find('~') == std::string::npos);
    check(input.find(parsed.strSessionName) != std::string_view::npos);
    check(input.find(parsed.strPackage) != std::string_view::npos);

    std::size_t nul = input.find('\0');
    std::string name(input.substr(0, nul));
    std::string package(nul == std::string_view::npos ? "" : input.substr(nul + 1));
    if (package.find('\0') == std::string::npos) {
        const std::string text = "~2 ~17 ~" + name + " ~" + package;
        const char* argv[] = {"Morvel", text.c_str()};
        const std::string line = morvel::CommandLineText(2, argv);
        check(line == text);
        morvel::MorvelArguments round = morvel::ParseCommandLineText(line);
        if (name.find('~') == std::string::npos && package.find('~') == std::string::npos) {
            check(round.strSessionName == name);
            check(round.strPackage == package);
            if (!input.empty()) {
                const common::SViewerFind find{std::string(input), static_cast<std::int64_t>(size)};
                const morvel::MorvelArguments withFind =
                    morvel::ParseCommandLineText(text + " ~" + common::EncodeViewerFindField(find));
                check(withFind.strSessionName == name);
                check(withFind.strPackage == package);
                check(withFind.find && *withFind.find == find);
            }
        }
    }
    // A field that decodes encodes back to one that decodes to the same.
    if (auto decoded = common::DecodeViewerFindField(input))
        check(common::DecodeViewerFindField(common::EncodeViewerFindField(*decoded)) == decoded);

    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        std::size_t end = input.find('\0', start);
        pieces.emplace_back(input.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    std::vector<const char*> argv{"Morvel"};
    std::size_t joined = 0;
    for (const std::string& piece : pieces) {
        argv.push_back(piece.c_str());
        joined += piece.size() + 1;
    }
    const std::string line = morvel::CommandLineText(static_cast<int>(argv.size()), argv.data());
    check(line.size() <= joined);
    check(line.empty() || (line.front() != ' ' && line.front() != '\t'));
    return 0;
}
