// "usb:": waits for a known handheld to appear on USB, opens it as it
// wants to be opened, and runs the framing it speaks over its bulk
// endpoints.
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "hotsync/usb.h"
#include "link/net/net_link.h"
#include "link/port_wait.h"
#include "link/serial/padp_link.h"
#include "link/usb/open_usb_bus.h"
#include "link/usb/usb_bus.h"
#include "link/usb/usb_connection.h"
#include "link/usb/usb_stream.h"

namespace hotsync::detail {
namespace {

using dlp::usb::Framing;

// How long the handheld may take to send its first bytes once opened.
constexpr std::chrono::seconds kFirstBytes{10};
// The serial protocol's frames begin with this byte; network HotSync frames never do.
constexpr uint8_t kSlpFirstByte = 0xBE;

bool parseDevice(const char* text, uint8_t* bus, uint8_t* address) {
  unsigned b = 0;
  unsigned a = 0;
  if (text == nullptr || std::sscanf(text, "%u-%u", &b, &a) != 2 || b > 255 || a > 255) return false;
  *bus = static_cast<uint8_t>(b);
  *address = static_cast<uint8_t>(a);
  return true;
}

bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return fd >= 0 && ::poll(&p, 1, 0) > 0;
}

std::unique_ptr<Link> linkOver(UsbConnection c, const UsbDeviceInfo& device, const KnownUsbHandheld& known,
                               const PortWait& wait, const PortNotice& notice) {
  auto stream = std::make_unique<UsbStream>(std::move(c.handle), c.inEndpoint, c.outEndpoint,
                                            std::string("the ") + known.name + " on USB " + device.where());
  // The first bytes show the framing; they win over what the device named,
  // since real devices are known to misname it.
  const Framing framing = stream->peek(kFirstBytes) == kSlpFirstByte ? Framing::Serial : Framing::Net;
  if (notice) notice(stream->peer() + " speaks " + dlp::usb::framingName(framing));
  if (framing == Framing::Net) return NetLink::desktop(std::move(stream));
  // USB has no line speed: the speed the opening agrees on changes nothing.
  return PadpLink::desktop(std::move(stream), wait.rate, [](uint32_t) {});
}

}  // namespace

std::unique_ptr<Link> openUsbLink(const PortName& /*named*/, const PortWait& wait, const PortNotice& notice) {
  std::string note;
  std::unique_ptr<UsbBus> bus = openUsbBus(&note);
  // The HotSync manager hands each HotSync the device it saw arrive.
  UsbDeviceInfo only;
  const bool restricted = parseDevice(wait.usbDevice.c_str(), &only.bus, &only.address);
  if (notice)
    notice("waiting for a handheld on USB; press its HotSync button" + (note.empty() ? "" : " (" + note + ")"));
  std::set<std::pair<uint8_t, uint8_t>> tried;
  while (true) {
    const std::vector<UsbDeviceInfo> devices = bus->devices();
    // A handheld that gave up waiting for its turn has left; nothing else is taken.
    if (restricted && std::none_of(devices.begin(), devices.end(), [&](const UsbDeviceInfo& d) {
          return d.bus == only.bus && d.address == only.address;
        })) {
      throw LinkError("the handheld at USB " + only.where() + " left the bus before its HotSync began");
    }
    for (const UsbDeviceInfo& device : devices) {
      const KnownUsbHandheld* known = findUsbHandheld(device.vendor, device.product);
      if (known == nullptr || !tried.insert({device.bus, device.address}).second) continue;
      if (restricted && (device.bus != only.bus || device.address != only.address)) continue;
      std::string error;
      auto handle = bus->open(device, &error);
      if (!handle) {
        // One that left between the listing and the opening is no handheld to wait for.
        if (error.ends_with("left the bus")) continue;
        throw LinkError(error);
      }
      return linkOver(askConnection(std::move(handle), device, *known), device, *known, wait, notice);
    }
    if (readable(wait.cancelFd)) throw WaitStopped();
    auto limit = std::chrono::milliseconds(std::chrono::hours(1));
    if (wait.deadline) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= *wait.deadline) throw NoHandheldCame();
      limit =
          std::chrono::duration_cast<std::chrono::milliseconds>(*wait.deadline - now) + std::chrono::milliseconds(1);
    }
    bus->waitForArrival(limit, wait.cancelFd);
  }
}

}  // namespace hotsync::detail
