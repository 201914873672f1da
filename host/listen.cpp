#include "host/listen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hotsync/link.h"

namespace tarvo::host {
namespace {

constexpr const char* kDefaultAddress = "127.0.0.1";

bool isLoopback(const std::string& address) {
  std::string host = address;
  if (host.starts_with('['))
    host = host.substr(1, host.find(']') - 1);
  else if (std::count(host.begin(), host.end(), ':') == 1)
    host = host.substr(0, host.find(':'));
  return host == "localhost" || host == "::1" || host.starts_with("127.");
}

}  // namespace

uint16_t openHandheldListener(const std::string& address, std::string* error) {
  const std::string where = address.empty() ? kDefaultAddress : address;
  if (!isLoopback(where)) {
    std::fprintf(stderr,
                 "tarvo-hotsync: warning: listening on %s; network HotSync has no authentication, so anyone "
                 "who reaches this port can sync as a handheld\n",
                 where.c_str());
  }
  return hotsync::listenForHandheld(where, error);
}

}  // namespace tarvo::host
