#include "tavrin/unpack_audit.h"

#include <cstdio>

#include "platform/paths.h"
#include "platform/tree_audit.h"

bool CreateFreshWorkFolder(const std::string& path) {
    // mkdir refuses any existing name, a dangling link included, so the folder is ours.
    return !path.empty() && platform::CreateFolder(path, 0700);
}

SUnpackAudit AuditUnpackedFolder(const std::string& workFolder) {
    platform::STreeAudit tree = platform::RemoveUnsafeEntries(workFolder);
    SUnpackAudit audit;
    audit.bComplete = tree.bComplete;
    for (const platform::SRemovedEntry& entry : tree.removed) {
        // 已删除审计包中不安全的条目：%s
        std::printf(
            "\xD2\xD1\xC9\xBE\xB3\xFD\xC9\xF3\xBC\xC6\xB0\xFC\xD6\xD0\xB2\xBB\xB0\xB2\xC8\xAB"
            "\xB5\xC4\xCC\xF5\xC4\xBF\xA3\xBA%s\n",
            entry.strPath.c_str());
    }
    std::fflush(stdout);
    audit.removed = std::move(tree.removed);
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
    }
    return "?";
}
