#include "tavrin/find/index_status.h"

namespace session_index {

const char* IndexStatusName(IndexStatus status) {
    switch (status) {
        case IndexStatus::kMissing:
            return "missing";
        case IndexStatus::kBuilding:
            return "building";
        case IndexStatus::kBuilt:
            return "built";
        case IndexStatus::kStopped:
            return "stopped";
        case IndexStatus::kFailed:
            return "failed";
    }
    return "failed";
}

IndexStatus IndexStatusFromName(std::string_view name) {
    for (IndexStatus s : {IndexStatus::kBuilding, IndexStatus::kBuilt, IndexStatus::kStopped,
                          IndexStatus::kFailed}) {
        if (name == IndexStatusName(s)) return s;
    }
    return IndexStatus::kMissing;
}

}  // namespace session_index
