// The wait for a handheld's first bytes on a listening socket or a tty, shared
// by every port kind that waits on a descriptor.
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/port_wait.h"

namespace hotsync::detail {

void waitReadable(int fd, const PortWait& wait) {
  for (;;) {
    int timeout = -1;
    if (wait.deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wait.deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) throw NoHandheldCame();
      timeout = static_cast<int>(std::min<long long>(left.count(), 60'000));
    }
    pollfd p[2] = {{fd, POLLIN, 0}, {wait.cancelFd, POLLIN, 0}};
    const int ready = ::poll(p, wait.cancelFd >= 0 ? 2 : 1, timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) throw LinkError(std::string("waiting for a handheld: ") + std::strerror(errno));
    if (wait.cancelFd >= 0 && p[1].revents != 0) throw WaitStopped();
    if (p[0].revents != 0) return;
  }
}

}  // namespace hotsync::detail
