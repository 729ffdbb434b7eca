// The player side of the process registry: each player records its own process identifier as
// an empty file "<pid>" in the registry folder "{program folder}/processid" while it runs, so
// that Tavrin can stop it when Tavrin closes. Failures are ignored by design: a player that
// cannot register still runs.
#pragma once

#include <string>

namespace common {

// Path of the registry folder of the given program folder: "{programFolder}/processid".
std::string RegistryFolder(const std::string& programFolder);

// Creates the entry file for the calling process in registryFolder, empty (a file of that
// name is replaced, a link there is removed, never followed), and closes it at once. Returns
// false when registryFolder is missing or is a link, or the file cannot be created.
bool RegisterProcess(const std::string& registryFolder);

// Deletes the calling process's entry file from registryFolder (not through a link). Returns
// true when it is gone.
bool UnregisterProcess(const std::string& registryFolder);

}  // namespace common
