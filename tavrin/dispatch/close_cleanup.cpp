#include "tavrin/dispatch/close_cleanup.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "common/console_text.h"
#include "common/process_registry.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "tavrin/dispatch/registry_sweep.h"
#include "tavrin/workspace/package_name.h"

namespace dispatch {

std::vector<std::string> DeleteWorkFolders(const std::string& programFolder,
                                           const std::vector<std::string>& names, int nTries,
                                           int nPauseMs) {
    std::vector<std::string> givenUp;
    std::vector<std::string> pending;
    for (const std::string& name : names) {
        if (workspace::IsUsablePackageName(name) && !programFolder.empty())
            pending.push_back(name);
        else
            givenUp.push_back(name);
    }
    for (int round = 0; round < nTries && !pending.empty(); ++round) {
        if (round > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(nPauseMs));
            SweepRegistry(common::RegistryFolder(programFolder), programFolder);
        }
        std::vector<std::string> left;
        for (const std::string& name : pending) {
            const std::string folder = platform::JoinPath(programFolder, name);
            // A folder removed from outside meanwhile has nothing left to delete.
            if (!platform::DeleteFolderTree(folder) && platform::PathExists(folder))
                left.push_back(name);
        }
        pending.swap(left);
    }
    givenUp.insert(givenUp.end(), pending.begin(), pending.end());
    for (const std::string& name : givenUp) {
        common::ConsolePrintf("删除文件夹失败：%s\n",
                              platform::JoinPath(programFolder, name).c_str());
    }
    return givenUp;
}

}  // namespace dispatch
