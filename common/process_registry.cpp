#include "common/process_registry.h"

#include <string>

#include "platform/folder_entry.h"
#include "platform/paths.h"
#include "platform/process_control.h"

namespace common {

namespace {

std::string EntryName() {
    return std::to_string(platform::CurrentProcessId());
}

}  // namespace

std::string RegistryFolder(const std::string& programFolder) {
    return platform::JoinPath(programFolder, "processid");
}

bool RegisterProcess(const std::string& registryFolder) {
    if (registryFolder.empty()) return false;
    // The folder belongs to the installation: a missing folder means no registration, never a
    // folder created here. A link in its place is refused, as Tavrin's sweep does not follow
    // it either (a player registered there would outlive the close); and an entry is made
    // afresh, so a link named like our identifier never has its target truncated.
    return platform::CreateFreshFileIn(registryFolder, EntryName());
}

bool UnregisterProcess(const std::string& registryFolder) {
    if (registryFolder.empty()) return false;
    return platform::DeleteEntryIn(registryFolder, EntryName());
}

}  // namespace common
