#include "tavrin/dispatch/registry_sweep.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "platform/process_control.h"

namespace dispatch {

namespace {

constexpr int kStopWaitMs = 2000;
constexpr std::int64_t kClockSlackNs = 24LL * 3600 * 1000000000;

// The folder as the platform layer reports executables: absolute, links resolved, '/' as the
// separator (Windows' native form has '\\', and would never match).
std::string CanonicalFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::canonical(folder, error);
    if (error) return std::string();
    return canonical.generic_string();
}

bool LiesDirectlyIn(const std::string& executable, const std::string& folder) {
    if (folder.empty()) return false;
    size_t slash = executable.rfind(platform::kPathSeparator);
    if (slash == std::string::npos) return false;
    std::string parent =
        slash == 0 ? std::string(1, platform::kPathSeparator) : executable.substr(0, slash);
    // Windows names the same folder in any case ("C:/Program Files" is "c:/program files").
    return platform::SamePath(parent, folder);
}

// The registered player itself, checked through its handle: anything else under the same
// identifier (an unrelated program, or a later process that reused the identifier of a player
// that crashed) is left running.
bool IsRegisteredPlayer(const platform::ProcessHandle& process, const std::string& entryPath,
                        const std::string& programFolder) {
    std::optional<std::string> executable = platform::ProcessExecutable(process);
    if (!executable || !LiesDirectlyIn(*executable, programFolder)) return false;
    std::optional<std::int64_t> started = platform::ProcessStartTime(process);
    // The change time, not the modification time: anyone may set the latter back (an entry
    // back-dated so would let a live player survive the close), the former only the clock.
    std::optional<std::int64_t> written = platform::FileChangeTime(entryPath);
    if (!started || !written) return false;
    // Start times are counted in clock ticks, and a start time is reckoned back from the
    // clock of now, so a clock stepped forward after the entry was made makes the player seem
    // to start later than it did. The slack covers both; it only lets through a process of
    // the program folder that reused the identifier of a player that died within that time.
    return *started <= *written + kClockSlackNs + 2 * platform::ProcessStartTimeResolution();
}

}  // namespace

SweepReport SweepRegistry(const std::string& registryFolder, const std::string& programFolder) {
    SweepReport report;
    if (registryFolder.empty()) return report;
    const std::string folder = CanonicalFolder(programFolder);
    const int self = platform::CurrentProcessId();
    std::vector<platform::ProcessHandle> stopped;

    for (const std::string& name : platform::FolderEntries(registryFolder)) {
        const std::string entryPath = platform::JoinPath(registryFolder, name);
        platform::MakeEntryWritable(entryPath);
        if (std::optional<int> pid = platform::ParseProcessId(name); pid && *pid != self) {
            if (auto process = platform::OpenProcessHandle(*pid)) {
                if (IsRegisteredPlayer(*process, entryPath, folder) &&
                    platform::SignalProcess(*process, platform::KillSignal())) {
                    ++report.nStopped;
                    stopped.push_back(std::move(*process));
                }
            }
        }
        if (platform::DeleteFileEntry(entryPath))
            ++report.nDeleted;
        else
            ++report.nKept;
    }

    if (!platform::SignalRecorderInstalled()) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
        for (const platform::ProcessHandle& process : stopped) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            platform::WaitProcessEnd(process,
                                     left.count() > 0 ? static_cast<int>(left.count()) : 0);
        }
    }
    return report;
}

SweepReport SweepRegistry(const std::string& registryFolder) {
    std::string folder = registryFolder;
    while (folder.size() > 1 && folder.back() == platform::kPathSeparator) folder.pop_back();
    std::filesystem::path parent = std::filesystem::path(folder).parent_path();
    return SweepRegistry(registryFolder, parent.string());
}

}  // namespace dispatch
