#include "link/usb/usb_connection.h"

#include <array>

#include "dlp/wire.h"
#include "link/link.h"

namespace hotsync::detail {
namespace {

using namespace dlp::usb;

constexpr std::chrono::milliseconds kRequestTimeout{2000};

}  // namespace

UsbConnection askConnection(std::unique_ptr<UsbHandle> handle, const UsbDeviceInfo& device,
                            const KnownUsbHandheld& known) {
  const std::string what =
      "the USB device " + usbIds(device.vendor, device.product) + " (" + known.name + ") at " + device.where();
  UsbConnection c;
  auto ask = [&](uint8_t request, std::size_t size, std::vector<uint8_t>* answer) {
    answer->assign(size, 0);
    const UsbTransfer t = handle->controlIn(kVendorRequestType, request, 0, 0, *answer, kRequestTimeout);
    if (t.status == UsbStatus::Gone) throw LinkError(what + " left the bus");
    answer->resize(t.bytes);
    return t.status == UsbStatus::Ok;
  };
  try {
    std::vector<uint8_t> answer;
    std::optional<HotSyncPort> port;
    if ((known.quirks & kNoConnectionInfo) == 0) {
      // The extended answer first; a device that refuses it, or answers it
      // with nothing, may still answer the older one.
      if ((known.quirks & kAskOlderInfoOnly) == 0 && ask(kExtConnectionInfo, kExtConnectionInfoSize, &answer) &&
          !answer.empty()) {
        port = hotSyncPort(decodeExtConnectionInfo(answer));
      } else if (ask(kConnectionInfo, kConnectionInfoSize, &answer)) {
        port = hotSyncPort(decodeConnectionInfo(answer));
      } else {
        throw LinkError(what + " answers no connection-information request; refused");
      }
    }
    if ((known.quirks & kNoBytesAvailable) == 0 && !ask(kBytesAvailable, 2, &answer)) {
      throw LinkError(what + " refuses to say how many bytes it has; refused");
    }
    if (port) {
      c.inEndpoint = port->inEndpoint;
      c.outEndpoint = port->outEndpoint;
      c.framing = port->framing;
    } else if (!handle->firstBulkEndpoints(&c.inEndpoint, &c.outEndpoint)) {
      throw LinkError(what + " has no bulk endpoints; refused");
    }
  } catch (const dlp::WireError& e) {
    throw LinkError(what + " answered with nonsense (" + e.what() + "); refused");
  }
  c.handle = std::move(handle);
  return c;
}

}  // namespace hotsync::detail
