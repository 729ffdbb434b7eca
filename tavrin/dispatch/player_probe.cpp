// Test stand-in for a player. Writes its argv, one argument per line, to "<own path>.args"
// (through a temporary file, so a reader never sees half of it), registers in the registry
// folder beside itself, and when a file "probe_stay" lies beside it stays for up to 30
// seconds (or until that file is removed), then unregisters and exits.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/process_registry.h"
#include "platform/process_control.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::error_code error;
    // Its own executable as the system names it (no program folder override applies here).
    auto handle = platform::OpenProcessHandle(platform::CurrentProcessId());
    auto exe = handle ? platform::ProcessExecutable(*handle) : std::nullopt;
    if (!exe) return 2;
    const fs::path self = *exe;
    const fs::path folder = self.parent_path();
    {
        const fs::path temp = self.string() + ".args.tmp";
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < argc; ++i) out << argv[i] << '\n';
        out.close();
        fs::rename(temp, self.string() + ".args", error);
    }
    const std::string registry = common::RegistryFolder(folder.string());
    common::RegisterProcess(registry);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fs::exists(folder / "probe_stay") && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    common::UnregisterProcess(registry);
    return 0;
}
