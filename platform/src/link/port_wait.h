// Waiting for a handheld on a port of any kind, until it comes, the wait
// limit runs out or the wait is stopped.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/link.h"
#include "link/port.h"

namespace hotsync::detail {

// The wait limit ran out before a handheld came.
class NoHandheldCame : public LinkError {
 public:
  NoHandheldCame() : LinkError("no handheld came") {}
};

// The wait was stopped (Ctrl-C, or the program ending).
class WaitStopped : public LinkError {
 public:
  WaitStopped() : LinkError("stopped waiting for a handheld") {}
};

// Waits until `fd` is readable. Throws NoHandheldCame when the wait limit
// runs out and WaitStopped when the wait is stopped.
void waitReadable(int fd, const PortWait& wait);

using PortNotice = std::function<void(const std::string&)>;

class Listener;

// The serial kinds (a tty, serial-tcp: on the port's `listener`) and USB,
// built by their links: each returns the link to the handheld that came,
// its opening exchange made. `notice` hears "waiting for ..." once the port
// is open.
std::unique_ptr<Link> openSerialLink(const PortName& named, Listener* listener, const PortWait& wait,
                                     const PortNotice& notice);
std::unique_ptr<Link> openUsbLink(const PortName& named, const PortWait& wait, const PortNotice& notice);

}  // namespace hotsync::detail
