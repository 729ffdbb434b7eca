#include "tavrin/workspace/package_name.h"

namespace workspace {

namespace {

// Text after the last '_' (whole text when there is none).
std::string_view AfterLast(std::string_view text) {
    size_t pos = text.rfind('_');
    return pos == std::string_view::npos ? text : text.substr(pos + 1);
}

// Text before the last '_' (empty when there is none).
std::string_view BeforeLast(std::string_view text) {
    size_t pos = text.rfind('_');
    return pos == std::string_view::npos ? std::string_view() : text.substr(0, pos);
}

// Length in bytes of text without its last n UTF-8 characters (0 when it has n or fewer).
size_t DropLastCharacters(std::string_view text, size_t n) {
    size_t end = text.size();
    while (n > 0 && end > 0) {
        --end;
        // Continuation bytes belong to the character that starts before them.
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        --n;
    }
    return n > 0 ? 0 : end;
}

}  // namespace

PackageName SplitPackageName(std::string_view name) {
    PackageName fields;
    fields.strName.assign(name);
    fields.strEndDate.assign(AfterLast(name));
    std::string_view head = BeforeLast(name);
    fields.strHead.assign(head);
    fields.strStartDate.assign(AfterLast(head));
    // Drop the prefix and its "_" (nothing when there is no "_"), then take the field up to
    // the next "_"; without one there is no kind.
    size_t first = head.find('_');
    std::string_view rest = first == std::string_view::npos ? head : head.substr(first + 1);
    size_t next = rest.find('_');
    if (next != std::string_view::npos) fields.strKind.assign(rest.substr(0, next));
    return fields;
}

std::string_view FileNameOfPath(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

PackageName PackageNameFromFile(std::string_view path) {
    std::string_view file = FileNameOfPath(path);
    return SplitPackageName(file.substr(0, DropLastCharacters(file, 4)));
}

bool IsProgramFolderEntryName(std::string_view name) {
    // What the build and the installation put beside the programs, with the names the same
    // files have on Windows.
    static constexpr std::string_view kEntries[] = {
        "Tavrin",          "Morvel",       "Ondrix",        "OndrixS",       "Rivosk",
        "Tessiv",          "Fennic",       "tavrin-import", "tavrin-sql",    "tavrin-query",
        "stand_in_player", "chinese.rcc",  "english.rcc",   "Morvel_zh.rcc", "Morvel_en.rcc",
        "table.sql",       "7z",           "7z.exe",        "7z.dll",        "processid",
        "Tavrin.exe",      "Morvel.exe",   "Ondrix.exe",    "OndrixS.exe",   "Rivosk.exe",
        "Tessiv.exe",      "Fennic.exe",   "chinese.dll",   "english.dll",   "Morvel_zh.dll",
        "Morvel_en.dll",   "code.ini",     "sqlite3.dll",   "lib",           "plugins",
        "translations",    "player_probe",
    };
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::string_view entry : kEntries) {
        if (entry.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) same = lower(entry[i]) == lower(name[i]);
        if (same) return true;
    }
    return false;
}

bool IsUsablePackageName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.size() > kMaxPackageNameBytes || IsProgramFolderEntryName(name)) return false;
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

}  // namespace workspace
