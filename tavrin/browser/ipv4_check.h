// Validation of the address filters of the session browser.
#pragma once

#include <string>

namespace browser {

// True when ansiAddress, as a whole, is a dotted IPv4 address the appliance can have logged:
// first and last part 1 to 254, middle parts 0 to 255, no leading zeros, nothing before or
// after. The pattern is compiled afresh on every call. Any thread.
bool IsValidIpv4(const std::string& ansiAddress);

}  // namespace browser
