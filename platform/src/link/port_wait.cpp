#include "link/port_wait.h"

#include "link/net/listener.h"

namespace hotsync::detail {

namespace {

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
