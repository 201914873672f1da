// The conduit's private temporary folder.
#pragma once

#include <string>

namespace tarvo::engine {

// $XDG_CACHE_HOME/tarvo/tmp/ (default ~/.cache/tarvo/tmp/), created if
// missing and kept at mode 0700, always ending in '/'. Empty when it cannot
// be made a private folder of this user (a file or another user's folder in
// the way), so nothing is ever written where others could read or replace it.
std::string PrivateTempFolder();

}  // namespace tarvo::engine
