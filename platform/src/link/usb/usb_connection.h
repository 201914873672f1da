// Opening a USB handheld the way it wants to be opened: the vendor control
// requests for its connection information (which endpoints, which
// framing), and the request many devices expect before they talk. A device
// whose answers make no sense is refused with a one-line LinkError.
#pragma once

#include <memory>
#include <optional>

#include "dlp/usb/connection_info.h"
#include "link/usb/usb_bus.h"
#include "link/usb/usb_ids.h"

namespace hotsync::detail {

struct UsbConnection {
  std::unique_ptr<UsbHandle> handle;
  uint8_t inEndpoint = 0;  // numbers, without the direction bit
  uint8_t outEndpoint = 0;
  // The framing the device named; none for a device that names none (the
  // first bytes it sends decide).
  std::optional<dlp::usb::Framing> framing;
};

// Asks an opened device. Throws LinkError naming the device and the reason.
UsbConnection askConnection(std::unique_ptr<UsbHandle> handle, const UsbDeviceInfo& device,
                            const KnownUsbHandheld& known);

}  // namespace hotsync::detail
