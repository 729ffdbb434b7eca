// Fuzz target: the split of a package's file name into name, head, dates and kind, and the
// test that decides whether a name may become a work folder (which is deleted at close, so a
// name that passes must never lead out of the program folder).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "tavrin/workspace/package_name.h"

using fuzz_support::check;

namespace {

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

void CheckSplit(std::string_view name, const workspace::PackageName& fields) {
    check(fields.strEndDate.find('_') == std::string::npos);
    check(fields.strStartDate.find('_') == std::string::npos);
    check(fields.strKind.find('_') == std::string::npos);
    if (name.find('_') == std::string_view::npos) {
        check(fields.strHead.empty());
        check(fields.strEndDate == name);
    } else {
        check(fields.strHead + "_" + fields.strEndDate == name);
        check(EndsWith(fields.strHead, fields.strStartDate));
    }
    check(fields.strHead.find(fields.strKind) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    workspace::PackageName fields = workspace::SplitPackageName(input);
    check(fields.strName == input);
    CheckSplit(input, fields);

    std::string_view file = workspace::FileNameOfPath(input);
    check(file.find('/') == std::string_view::npos);
    check(EndsWith(input, file));

    workspace::PackageName fromFile = workspace::PackageNameFromFile(input);
    check(file.substr(0, fromFile.strName.size()) == fromFile.strName);
    check(fromFile.strName.size() < file.size() || file.empty());
    CheckSplit(fromFile.strName, fromFile);

    if (workspace::IsUsablePackageName(input)) {
        check(!input.empty() && input != "." && input != "..");
        check(input.find('/') == std::string_view::npos);
        check(input.find('\0') == std::string_view::npos);
    }
    return 0;
}
