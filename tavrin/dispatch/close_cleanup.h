// What Tavrin's close handler does to the disk, without a window: deleting the work folders
// of the packages imported in the run, with a bounded number of retries. User-interface
// thread (the close handler); not reentrant.
#pragma once

#include <string>
#include <vector>

namespace dispatch {

// Deletes the work folder {programFolder}/{name} of every package name given. A folder that
// is already gone counts as deleted. A name that could name something other than a folder of
// its own beside the program ("", ".", "..", with '/') is never used to delete anything and is
// returned as given up. Folders that stay are retried up to nTries rounds in all, nPauseMs
// apart; before each retry the registry {programFolder}/processid is swept again, since a
// player stopped a moment ago may still have held a file. Returns the names given up, each
// also reported on standard output as "删除文件夹失败：<folder>\n" (GBK text, the folder as
// its bytes).
std::vector<std::string> DeleteWorkFolders(const std::string& programFolder,
                                           const std::vector<std::string>& names, int nTries = 5,
                                           int nPauseMs = 200);

}  // namespace dispatch
