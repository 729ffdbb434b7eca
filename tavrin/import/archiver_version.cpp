#include "tavrin/import/archiver_version.h"

#include <cstdio>
#include <mutex>

#include "common/console_text.h"
#include "platform/process_output.h"

namespace package_import {

bool SArchiverVersion::Acceptable() const {
    if (!bFound) return false;
    return nMajor > kMinArchiverMajor ||
           (nMajor == kMinArchiverMajor && nMinor >= kMinArchiverMinor);
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads MAJOR.MINOR at the start of text (a few digits each); false when it is not there.
bool ReadNumber(std::string_view text, SArchiverVersion& version) {
    std::size_t i = 0;
    int major = 0;
    while (i < text.size() && IsDigit(text[i]) && i < 4) major = major * 10 + (text[i++] - '0');
    if (i == 0 || i >= text.size() || text[i] != '.') return false;
    std::size_t dot = i++;
    int minor = 0;
    while (i < text.size() && IsDigit(text[i]) && i - dot <= 4)
        minor = minor * 10 + (text[i++] - '0');
    if (i == dot + 1) return false;
    if (i < text.size() && (IsDigit(text[i]) || text[i] == '.')) return false;
    version.bFound = true;
    version.nMajor = major;
    version.nMinor = minor;
    version.strVersion = std::string(text.substr(0, i));
    return true;
}

}  // namespace

SArchiverVersion ParseArchiverBanner(std::string_view banner) {
    SArchiverVersion version;
    std::size_t at = 0;
    while ((at = banner.find("7-Zip", at)) != std::string_view::npos) {
        std::size_t end = banner.find('\n', at);
        std::string_view line = banner.substr(
            at + 5, end == std::string_view::npos ? std::string_view::npos : end - at - 5);
        // The first number after the name that starts a word: "(z)", "[64]" and "(x64)" are
        // skipped since they do not have the MAJOR.MINOR form.
        for (std::size_t i = 0; i < line.size(); ++i) {
            bool wordStart = i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t';
            if (wordStart && IsDigit(line[i]) && ReadNumber(line.substr(i), version)) {
                return version;
            }
        }
        at += 5;
    }
    return version;
}

SArchiverVersion ReadArchiverVersion(const std::string& archiverPath) {
    platform::CapturedOutput output =
        platform::RunAndCaptureOutput(archiverPath, {"7z"}, 64 * 1024, 10000);
    if (!output.started) return SArchiverVersion();
    SArchiverVersion version = ParseArchiverBanner(output.text);
    version.bStarted = true;
    return version;
}

SArchiverVersion ArchiverVersionForRun(const std::string& archiverPath) {
    static std::mutex mutex;
    static std::string acceptedPath;
    static SArchiverVersion accepted;
    std::lock_guard<std::mutex> lock(mutex);
    if (accepted.Acceptable() && acceptedPath == archiverPath) return accepted;
    SArchiverVersion version = ReadArchiverVersion(archiverPath);
    if (version.Acceptable()) {
        accepted = version;
        acceptedPath = archiverPath;
    }
    return version;
}

std::string ArchiverRefusalText(std::string_view format, const SArchiverVersion& version) {
    const std::string found = version.bFound ? version.strVersion : "?";
    std::string text(format);
    std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, found);
    return text;
}

void PrintArchiverRefused(const SArchiverVersion& version) {
    common::ConsolePrintf("7-Zip 版本过低（%s），需要 26.01 或更新的版本，未解压。\n",
                          version.bFound ? version.strVersion.c_str() : "?");
}

}  // namespace package_import
