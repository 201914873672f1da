// The resident manager's eye on USB: a thread lists the bus whenever it may
// have changed and reports known handhelds that were not there before.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>

#include "hotsync/usb.h"
#include "link/usb/open_usb_bus.h"
#include "link/usb/usb_bus.h"
#include "link/usb/usb_ids.h"

namespace hotsync {
namespace {

struct Watch {
  std::thread thread;
  int report[2] = {-1, -1};
  int stop[2] = {-1, -1};
  ~Watch() {
    if (thread.joinable()) {
      (void)!::write(stop[1], "x", 1);
      thread.join();
    }
    for (int fd : {report[0], report[1], stop[0], stop[1]}) {
      if (fd >= 0) ::close(fd);
    }
  }
};
std::unique_ptr<Watch> g_watch;

void run(std::unique_ptr<detail::UsbBus> bus, int reportFd, int stopFd) {
  std::set<std::pair<uint8_t, uint8_t>> present;
  while (true) {
    std::set<std::pair<uint8_t, uint8_t>> now;
    for (const detail::UsbDeviceInfo& d : bus->devices()) {
      if (detail::findUsbHandheld(d.vendor, d.product) == nullptr) continue;
      now.insert({d.bus, d.address});
      if (present.count({d.bus, d.address}) == 0) {
        const std::string line = std::to_string(d.bus) + "-" + std::to_string(d.address) + "\n";
        (void)!::write(reportFd, line.data(), line.size());
      }
    }
    present = std::move(now);
    pollfd p{stopFd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0) return;
    bus->waitForArrival(std::chrono::seconds(1), stopFd);
  }
}

}  // namespace

int watchUsbHandhelds(std::string* note) {
  stopWatchingUsb();
  auto bus = detail::openUsbBus(note);
  auto watch = std::make_unique<Watch>();
  if (::pipe2(watch->report, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(watch->stop, O_CLOEXEC) != 0) {
    *note = "cannot watch USB: no pipe";
    return -1;
  }
  watch->thread = std::thread(run, std::move(bus), watch->report[1], watch->stop[0]);
  g_watch = std::move(watch);
  return g_watch->report[0];
}

void stopWatchingUsb() { g_watch.reset(); }

}  // namespace hotsync
