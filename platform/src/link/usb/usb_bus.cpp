#include "link/usb/usb_bus.h"

namespace hotsync::detail {

const char* usbStatusText(UsbStatus status) {
  switch (status) {
    case UsbStatus::Ok:
      return "done";
    case UsbStatus::Timeout:
      return "no answer in time";
    case UsbStatus::Stall:
      return "refused";
    case UsbStatus::Gone:
      return "the device left the bus";
    case UsbStatus::Error:
      break;
  }
  return "a transfer error";
}

std::string UsbDeviceInfo::where() const { return "bus " + std::to_string(bus) + " device " + std::to_string(address); }

}  // namespace hotsync::detail
