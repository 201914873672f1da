#include <poll.h>

#include <algorithm>
#include <cstdlib>

#include "link/usb/open_usb_bus.h"
#include "test_hooks.h"

namespace hotsync::detail {
namespace {

// A machine without a USB bus has no handheld on it either: it is waited
// for like any other that does not come.
class NoBus : public UsbBus {
 public:
  std::vector<UsbDeviceInfo> devices() override { return {}; }
  std::unique_ptr<UsbHandle> open(const UsbDeviceInfo&, std::string* error) override {
    *error = "no USB bus";
    return nullptr;
  }
  void waitForArrival(std::chrono::milliseconds limit, int cancelFd) override {
    pollfd cancel{cancelFd, POLLIN, 0};
    ::poll(&cancel, cancelFd >= 0 ? 1 : 0, static_cast<int>(std::min<int64_t>(limit.count(), 60000)));
  }
};

}  // namespace

std::unique_ptr<UsbBus> openUsbBus(std::string* note) {
  if (auto played = playedUsbBus()) return played;
  std::string error;
  if (auto bus = openLibusbBus(&error)) return bus;
  *note = "no USB bus is visible here: " + error;
  return std::make_unique<NoBus>();
}

}  // namespace hotsync::detail
