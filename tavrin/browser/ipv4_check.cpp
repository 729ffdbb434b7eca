#include "tavrin/browser/ipv4_check.h"

#include <boost/xpressive/xpressive_dynamic.hpp>

namespace browser {

namespace {
// Parts 1 and 4 exclude 0 and 255 (network and broadcast ends); parts 2 and 3 take 0 to 255.
const char kIpv4Pattern[] =
    "(25[0-4]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[1-9])[.]"
    "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])[.]"
    "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])[.]"
    "(25[0-4]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[1-9])";
}  // namespace

bool IsValidIpv4(const std::string& ansiAddress) {
    namespace xp = boost::xpressive;
    xp::sregex pattern = xp::sregex::compile(kIpv4Pattern);
    return xp::regex_match(ansiAddress, pattern);
}

}  // namespace browser
