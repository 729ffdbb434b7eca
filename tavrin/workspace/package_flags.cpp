#include "tavrin/workspace/package_flags.h"

#include "platform/file_io.h"

bool g_bHasTabTable = false;
bool g_bHasMatrixTable = false;

namespace workspace {

bool DumpHasData(const std::string& path) {
    platform::CFileReader reader;
    if (!reader.Open(path)) return false;
    char byte;
    return reader.Read(&byte, 1) == 1;
}

}  // namespace workspace
