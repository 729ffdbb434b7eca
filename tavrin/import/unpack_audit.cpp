#include "tavrin/import/unpack_audit.h"

#include <cstdio>

#include "common/console_text.h"
#include "platform/folder_tree.h"
#include "platform/paths.h"
#include "platform/tree_audit.h"

namespace package_import {

bool CreateFreshWorkFolder(const std::string& path) {
    // mkdir refuses any existing name, a dangling link included, so the folder is ours.
    return !path.empty() && platform::CreateFolder(path, 0700);
}

namespace {

void PrintRemoved(const std::string& relPath) {
    common::ConsolePrintf("已删除审计包中不安全的条目：%s\n", relPath.c_str());
}

}  // namespace

SUnpackAudit AuditUnpackedFolder(const std::string& workFolder) {
    platform::STreeAudit tree = platform::RemoveUnsafeEntries(workFolder);
    SUnpackAudit audit;
    audit.bComplete = tree.bComplete;
    for (const platform::SRemovedEntry& entry : tree.removed) PrintRemoved(entry.strPath);
    std::fflush(stdout);
    audit.removed = std::move(tree.removed);
    return audit;
}

SUnpackAudit RemovePlantedOutputs(const std::string& workFolder,
                                  const std::vector<std::string>& outputPaths) {
    SUnpackAudit audit;
    for (const std::string& path : outputPaths) {
        // A planted folder goes as a whole; anything else (a link too) as the entry itself.
        bool removed = platform::IsRealFolder(path) ? platform::DeleteFolderTree(path)
                                                    : platform::DeleteFileEntry(path);
        if (!removed) {
            if (platform::EntryExists(path)) audit.bComplete = false;
            continue;
        }
        std::string rel = path;
        if (rel.compare(0, workFolder.size() + 1, workFolder + "/") == 0)
            rel.erase(0, workFolder.size() + 1);
        PrintRemoved(rel);
        audit.removed.push_back({rel, platform::EUnsafeEntry::kPlanted});
    }
    std::fflush(stdout);
    return audit;
}

const char* UnsafeEntryKindName(platform::EUnsafeEntry kind) {
    switch (kind) {
        case platform::EUnsafeEntry::kLinkOutside:
            return "link out";
        case platform::EUnsafeEntry::kLinkNowhere:
            return "link to nothing";
        case platform::EUnsafeEntry::kHardLink:
            return "hard link";
        case platform::EUnsafeEntry::kDevice:
            return "device";
        case platform::EUnsafeEntry::kFifo:
            return "fifo";
        case platform::EUnsafeEntry::kSocket:
            return "socket";
        case platform::EUnsafeEntry::kPlanted:
            return "planted output";
    }
    return "?";
}

}  // namespace package_import
