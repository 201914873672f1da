// The USB handhelds the desktop knows: vendor and product ids, a name for
// messages, and what each needs asked before it talks. The udev rule that
// gives the logged-in user access is made from this table too.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace hotsync::detail {

enum UsbQuirk : uint8_t {
  kAskOlderInfoOnly = 1 << 0,  // answers only the older connection-information request
  kNoConnectionInfo = 1 << 1,  // answers neither: bulk endpoints from its descriptor, framing from its first bytes
  kNoBytesAvailable = 1 << 2,  // must not be asked how many bytes it has
};

struct KnownUsbHandheld {
  uint16_t vendor;
  uint16_t product;
  const char* name;
  uint8_t quirks;
};

std::span<const KnownUsbHandheld> knownUsbHandhelds();
// Null when the ids are not in the table.
const KnownUsbHandheld* findUsbHandheld(uint16_t vendor, uint16_t product);
// "0830:0060"
std::string usbIds(uint16_t vendor, uint16_t product);
// The text of lib/udev/rules.d/60-tarvo-hotsync.rules.
std::string udevRules();

}  // namespace hotsync::detail
