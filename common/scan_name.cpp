#include "common/scan_name.h"

namespace common {

bool ScanNameStaysBeneath(std::string_view name) {
    if (!name.empty() && name.front() == '/') return false;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) slash = name.size();
        if (name.substr(start, slash - start) == "..") return false;
        start = slash + 1;
    }
    return true;
}

}  // namespace common
