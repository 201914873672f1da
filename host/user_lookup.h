// Whether a HotSync user exists.
#pragma once

#include <string>

namespace tarvo::host {

bool isHotSyncUser(const std::string& user);

}  // namespace tarvo::host
