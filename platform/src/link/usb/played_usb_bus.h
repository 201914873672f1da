// Played USB handhelds, for tests: the bus is a folder, each file in it a
// device on the bus (its name "BUS-ADDRESS"), and opening one starts a
// simulated handheld in this process that answers the control requests and
// runs its side of the HotSync over an in-process pipe to the bulk
// endpoints. The desktop above the seam cannot tell it from libusb.
//
// A device file holds "key=value" lines:
//   handheld=DIR        the simulated handheld's folder (required)
//   framing=net|serial  how it frames the DLP (net)
//   vendor=HEX product=HEX  its ids (net: 0830:0060, serial: 082d:0100)
//   info=HEX            its answer to the connection-information request
//                       it answers (default: the layout for its framing)
//   hangup=N            the cable is pulled after N answers
// When its HotSync ends the device leaves the bus: the file is removed.
#pragma once

#include <filesystem>
#include <memory>

#include "link/usb/usb_bus.h"

namespace hotsync::detail {

std::unique_ptr<UsbBus> openPlayedUsbBus(const std::filesystem::path& folder);

}  // namespace hotsync::detail
