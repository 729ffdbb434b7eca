#include "common/process_registry.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/paths.h"
#include "platform/process_control.h"

namespace {

std::string EntryPath(const std::string& registryFolder) {
    return platform::JoinPath(registryFolder, std::to_string(platform::CurrentProcessId()));
}

}  // namespace

std::string RegistryFolder(const std::string& programFolder) {
    return platform::JoinPath(programFolder, "processid");
}

bool RegisterProcess(const std::string& registryFolder) {
    if (registryFolder.empty()) return false;
    // The folder belongs to the installation: a missing folder means no registration, never a
    // folder created here.
    if (!platform::IsDirectory(registryFolder)) return false;
    const std::string path = EntryPath(registryFolder);
    {
        std::ofstream entry(path, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!entry) return false;
    }
    return platform::PathExists(path);
}

bool UnregisterProcess(const std::string& registryFolder) {
    if (registryFolder.empty()) return false;
    std::error_code error;
    const std::filesystem::path path(EntryPath(registryFolder));
    std::filesystem::remove(path, error);
    return !std::filesystem::exists(std::filesystem::symlink_status(path, error));
}
