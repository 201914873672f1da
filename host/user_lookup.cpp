#include "host/user_lookup.h"

#include "hotsync/host.h"

namespace tarvo::host {

bool isHotSyncUser(const std::string& user) {
  for (const std::string& name : hotsync::users()) {
    if (name == user) return true;
  }
  return false;
}

}  // namespace tarvo::host
