#include "hotsync/net.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include "session.h"

namespace {

bool anyInterfaceUp() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool up = false;
  for (ifaddrs* i = list; i != nullptr && !up; i = i->ifa_next) {
    if (i->ifa_addr == nullptr) continue;
    const int family = i->ifa_addr->sa_family;
    up =
        (i->ifa_flags & IFF_UP) != 0 && (i->ifa_flags & IFF_LOOPBACK) == 0 && (family == AF_INET || family == AF_INET6);
  }
  ::freeifaddrs(list);
  return up;
}

}  // namespace

HOTSYNC_API int32_t InternetGetConnectedState(uint32_t* flags, uint32_t /*reserved*/) {
  try {
    const int forced = hotsync::detail::session().onlineOverride.load();
    const bool online = forced >= 0 ? forced == 1 : anyInterfaceUp();
    hotsync::detail::session().lastConnectionCheck.store(online ? 1 : 0);
    if (flags != nullptr) *flags = online ? 1 : 0;
    return online ? 1 : 0;
  } catch (...) {
    if (flags != nullptr) *flags = 0;
    return 0;
  }
}
