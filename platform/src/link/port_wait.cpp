#include "link/port_wait.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "link/net/listener.h"

namespace hotsync::detail {

namespace {

// Waits until `fd` is readable. Throws WaitStopped or NoHandheldCame.
void waitReadable(int fd, const PortWait& wait) {
  for (;;) {
    int timeout = -1;
    if (wait.deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(*wait.deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) throw NoHandheldCame();
      timeout = static_cast<int>(std::min<long long>(left.count() + 1, 60'000));
    }
    pollfd p[2] = {{fd, POLLIN, 0}, {wait.cancelFd, POLLIN, 0}};
    const int ready = ::poll(p, wait.cancelFd >= 0 ? 2 : 1, timeout);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) throw LinkError(std::string("waiting for a handheld: ") + std::strerror(errno));
    if (wait.cancelFd >= 0 && p[1].revents != 0) throw WaitStopped();
    if (p[0].revents != 0) return;
  }
}

std::unique_ptr<Link> waitOnNetwork(const PortName& named, const PortWait& wait, const PortNotice& notice) {
  const std::unique_ptr<Listener> listener = Listener::open(named.host, named.port);
  if (notice) notice("waiting for a handheld's network HotSync on port " + std::to_string(listener->port()));
  waitReadable(listener->fd(), wait);
  return listener->accept();
}

}  // namespace

std::unique_ptr<Link> waitForHandheld(const PortName& named, const PortWait& wait, const PortNotice& notice) {
  switch (named.kind) {
    case PortName::Net:
      return waitOnNetwork(named, wait, notice);
    case PortName::Tty:
    case PortName::SerialTcp:
      return openSerialLink(named, wait, notice);
    case PortName::Usb:
      return openUsbLink(named, wait, notice);
  }
  throw LinkError("an unknown kind of port");
}

}  // namespace hotsync::detail
