// The thin seam between the USB link and libusb: what the desktop does on
// the bus (list devices, wait for one to arrive, open one) and on an open
// device (control requests, bulk reads and writes). libusb_bus.cpp puts
// libusb-1.0 behind it; played_usb_bus.cpp plays handhelds for tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace hotsync::detail {

enum class UsbStatus {
  Ok,
  Timeout,  // nothing moved in time
  Stall,    // the device refused the request
  Gone,     // the device left the bus (cable pulled, handheld switched off)
  Error,    // anything else
};
const char* usbStatusText(UsbStatus status);

struct UsbTransfer {
  UsbStatus status = UsbStatus::Ok;
  std::size_t bytes = 0;  // moved before the status, on Timeout too
};

struct UsbDeviceInfo {
  uint8_t bus = 0;
  uint8_t address = 0;
  uint16_t vendor = 0;
  uint16_t product = 0;
  bool operator==(const UsbDeviceInfo&) const = default;
  // "bus 1 device 4": the kernel gives a device that arrives again a new address.
  std::string where() const;
};

// An open device with its first interface claimed. Endpoints are addresses
// (0x80 | n for IN).
class UsbHandle {
 public:
  virtual ~UsbHandle() = default;
  virtual UsbTransfer controlIn(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                                std::span<uint8_t> data, std::chrono::milliseconds timeout) = 0;
  virtual UsbTransfer bulkRead(uint8_t endpoint, std::span<uint8_t> data, std::chrono::milliseconds timeout) = 0;
  virtual UsbTransfer bulkWrite(uint8_t endpoint, std::span<const uint8_t> data, std::chrono::milliseconds timeout) = 0;
  // The numbers of the claimed interface's first bulk IN and OUT endpoints,
  // for devices that do not name theirs. False when it has none.
  virtual bool firstBulkEndpoints(uint8_t* in, uint8_t* out) = 0;
};

class UsbBus {
 public:
  virtual ~UsbBus() = default;
  virtual std::vector<UsbDeviceInfo> devices() = 0;
  // Opens the device and claims its first interface, taking it from a
  // kernel driver that holds it. Null with a one-line *error.
  virtual std::unique_ptr<UsbHandle> open(const UsbDeviceInfo& device, std::string* error) = 0;
  // Returns when a device may have arrived, `limit` passed, or `cancelFd`
  // (when >= 0) became readable. Without hot-plug events it waits a short
  // polling interval instead.
  virtual void waitForArrival(std::chrono::milliseconds limit, int cancelFd) = 0;
};

// libusb-1.0. Null with a one-line *error when libusb cannot start.
std::unique_ptr<UsbBus> openLibusbBus(std::string* error);

}  // namespace hotsync::detail
