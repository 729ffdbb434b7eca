// Tavrin's side of the process registry: at close, every player still registered in
// "{program folder}/processid" is stopped and its entry deleted. User-interface thread (the
// close handler); not reentrant.
#pragma once

#include <string>

namespace dispatch {

// What one sweep did, for the caller's diagnostics and for tests.
struct SweepReport {
    int nStopped = 0;  // processes signalled (and waited for, briefly)
    int nDeleted = 0;  // entries deleted
    int nKept = 0;     // entries that could not be deleted (subfolders, no permission)
};

// Sweeps registryFolder. For each entry except "." and "..": makes it writable; reads its
// name as a process identifier (platform::ParseProcessId: no 0, no negatives, no overflow);
// stops that process (SIGKILL, sent through a process handle) only when it is the player that
// registered: its executable lies in programFolder and it started no later than a day after
// the entry file's last status change (a time no program can set back; the day absorbs clock
// steps); then deletes the entry as a file. A registryFolder that is a link is not read. An entry
// that names another program, an ended process or nothing at all is deleted without stopping
// anything. After the loop it waits up to about two seconds for the stopped processes to end, so
// that none of them still writes into a package folder that is about to be deleted. Never stops the
// calling process. An empty registryFolder, or one that cannot be read, does nothing.
SweepReport SweepRegistry(const std::string& registryFolder, const std::string& programFolder);

// The same, with the program folder taken as the parent folder of registryFolder.
SweepReport SweepRegistry(const std::string& registryFolder);

}  // namespace dispatch
