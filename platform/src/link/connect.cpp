// The desktop's end of a HotSync: connecting the handheld that calls behind
// the Sync Manager, and stopping a wait for one.
#include "link/connect.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "hotsync/port.h"
#include "link/dlp_device.h"
#include "link/net/net_link.h"
#include "session.h"

namespace hotsync {

namespace {

// Stops a wait on any port: stopListening writes a byte, the wait polls it.
std::atomic<int> stopWriteFd{-1};
int stopReadFd = -1;

}  // namespace

namespace detail {

int stopPipe() {
  static std::once_flag once;
  std::call_once(once, [] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    stopReadFd = fds[0];
    stopWriteFd.store(fds[1]);
  });
  char drained[64];
  while (stopReadFd >= 0 && ::read(stopReadFd, drained, sizeof drained) > 0) {
  }
  return stopReadFd;
}

bool attachLinkedHandheld(std::unique_ptr<Link> link, std::string* error) {
  auto device = std::make_unique<DlpDevice>(std::move(link));
  auto& s = session();
  std::unique_lock lock(s.mutex);
  if (s.handheld) {
    if (error) *error = "a handheld is connected already: " + s.handheld->describe();
    return false;
  }
  attachDevice(std::move(device), lock);
  return true;
}

}  // namespace detail

bool connectHandedOverHandheld(int fd, std::string* error) {
  try {
    return detail::attachLinkedHandheld(detail::NetLink::handedOver(fd), error);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

void stopListening() {
  if (const int fd = stopWriteFd.load(); fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
}

}  // namespace hotsync
