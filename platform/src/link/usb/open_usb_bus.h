// The USB bus the desktop uses: played handhelds when a test names a folder
// of them, else libusb, else (no USB here) a bus on which nothing arrives.
#pragma once

#include <memory>
#include <string>

#include "link/usb/usb_bus.h"

namespace hotsync::detail {

// *note gets a line worth showing when the machine has no USB bus.
std::unique_ptr<UsbBus> openUsbBus(std::string* note);

}  // namespace hotsync::detail
