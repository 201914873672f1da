#include "host/listen.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

void stopOnSignal(int) { hotsync::stopListening(); }

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

bool waitForHandheld(const std::string& address, std::string* error) {
  if (const char* handed = std::getenv(kHandedLinkEnv)) {
    const int fd = std::atoi(handed);
    ::unsetenv(kHandedLinkEnv);  // the conduit's own children have no such link
    std::printf("network HotSync handed over by the HotSync manager\n");
    std::fflush(stdout);
    return hotsync::connectHandedOverHandheld(fd, error);
  }
  const uint16_t port = openHandheldListener(address, error);
  if (port == 0) return false;
  std::printf("waiting for a handheld's network HotSync on port %u\n", port);
  std::fflush(stdout);
  struct sigaction stop {
  }, oldInt{}, oldTerm{};
  stop.sa_handler = stopOnSignal;
  sigaction(SIGINT, &stop, &oldInt);
  sigaction(SIGTERM, &stop, &oldTerm);
  const bool connected = hotsync::acceptNetworkHandheld(error);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  hotsync::closeListener();
  return connected;
}

}  // namespace tarvo::host
