// How the links wait for a handheld on a port (hotsync/port.h names it).
#pragma once

#include <chrono>
#include <optional>

#include "hotsync/port.h"

namespace hotsync::detail {

using hotsync::PortName;

// How to wait for a handheld on a port. The wait ends with NoHandheldCame
// at `deadline`, with WaitStopped as soon as `cancelFd` becomes readable,
// and with LinkError for anything else.
struct PortWait {
  uint32_t rate = 0;  // serial speed cap; 0: the handheld's maximum
  std::optional<std::chrono::steady_clock::time_point> deadline;
  int cancelFd = -1;
  std::string usbDevice;  // usb: only the handheld at "BUS-ADDRESS"; empty: any
};

}  // namespace hotsync::detail
