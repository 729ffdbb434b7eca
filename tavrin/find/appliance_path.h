// Where a file named by an appliance path lies in the unpacked package. No Qt; any thread.
#pragma once

#include <string>
#include <string_view>

namespace session_index {

// The text-record mapping of the character session list, on the field's ANSI bytes (which
// name the file on disk): ':' becomes '_', the last four characters (the extension) are
// dropped. "/var/utm/data/sessions/12:30:00.txt" gives "/var/utm/data/sessions/12_30_00",
// which lies beneath the package's work folder.
std::string MapAppliancePath(std::string_view field);

}  // namespace session_index
