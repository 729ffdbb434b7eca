#include "tavrin/import/leftover_work_folder.h"

#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "platform/tree_audit.h"

namespace package_import {

EWorkFolderState WorkFolderState(const std::string& workFolder) {
    if (!platform::EntryExists(workFolder)) return EWorkFolderState::kAbsent;
    return platform::IsRealFolder(workFolder) ? EWorkFolderState::kRealFolder
                                              : EWorkFolderState::kOther;
}

EImportStart DecideImportStart(EWorkFolderState state, bool bImportedThisRun) {
    switch (state) {
        case EWorkFolderState::kAbsent:
            return EImportStart::kImport;
        case EWorkFolderState::kRealFolder:
            return bImportedThisRun ? EImportStart::kOpenImported : EImportStart::kAskLeftover;
        case EWorkFolderState::kOther:
            break;
    }
    return EImportStart::kRefuse;
}

bool DeleteLeftoverWorkFolder(const std::string& workFolder) {
    if (!platform::IsRealFolder(workFolder)) return false;
    return platform::DeleteFolderTree(workFolder) && !platform::EntryExists(workFolder);
}

}  // namespace package_import
