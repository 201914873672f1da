#include "link/usb/usb_ids.h"

#include <cstdio>

namespace hotsync::detail {
namespace {

constexpr KnownUsbHandheld kKnown[] = {
    // Palm
    {0x0830, 0x0001, "Palm m500", 0},
    {0x0830, 0x0002, "Palm m505", 0},
    {0x0830, 0x0003, "Palm m515", 0},
    {0x0830, 0x0010, "Palm handheld", 0},
    {0x0830, 0x0011, "Palm handheld", 0},
    {0x0830, 0x0020, "Palm i705", 0},
    {0x0830, 0x0030, "Palm Tungsten", 0},
    {0x0830, 0x0031, "Palm Tungsten W", 0},
    {0x0830, 0x0040, "Palm m125", 0},
    {0x0830, 0x0050, "Palm m130", 0},
    {0x0830, 0x0051, "Palm handheld", 0},
    {0x0830, 0x0052, "Palm handheld", 0},
    {0x0830, 0x0053, "Palm handheld", 0},
    {0x0830, 0x0060, "Palm Tungsten or Zire 71", 0},
    {0x0830, 0x0061, "Palm Zire 31, 72 or Z22", kNoBytesAvailable},
    {0x0830, 0x0062, "Palm handheld", 0},
    {0x0830, 0x0063, "Palm handheld", 0},
    {0x0830, 0x0070, "Palm Zire", 0},
    {0x0830, 0x0071, "Palm handheld", 0},
    {0x0830, 0x0080, "Palm m100", kNoConnectionInfo | kNoBytesAvailable},
    {0x0830, 0x0099, "Palm handheld", 0},
    {0x0830, 0x0100, "Palm handheld", 0},
    // Handspring
    {0x082d, 0x0100, "Handspring Visor or Treo 300", kAskOlderInfoOnly},
    {0x082d, 0x0200, "Handspring Treo", 0},
    {0x082d, 0x0300, "Handspring Treo 600", 0},
    // Sony
    {0x054c, 0x000a, "Sony Clie NR", 0},
    {0x054c, 0x0038, "Sony Clie S320", kNoConnectionInfo},
    {0x054c, 0x0066, "Sony Clie T or SJ", 0},
    {0x054c, 0x0095, "Sony Clie S360", 0},
    {0x054c, 0x009a, "Sony Clie NR70", kNoConnectionInfo},
    {0x054c, 0x00da, "Sony Clie NX", 0},
    {0x054c, 0x00e9, "Sony Clie NZ", 0},
    {0x054c, 0x0144, "Sony Clie UX", 0},
    {0x054c, 0x0169, "Sony Clie TJ", kNoConnectionInfo},
    // Others
    {0x0502, 0x0001, "Acer s10", 0},
    {0x04e8, 0x8001, "Samsung i330", 0},
    {0x081e, 0xdf00, "AlphaSmart Dana", 0},
    {0x091e, 0x0004, "Garmin iQue 3600", 0},
    {0x0c88, 0x0021, "Kyocera 7135", 0},
    {0x0c88, 0xa226, "Kyocera 6035", 0},
    {0x12ef, 0x0100, "Tapwave Zodiac", kNoBytesAvailable},
    {0x4766, 0x0001, "Aceeca Meazura", 0},
};

}  // namespace

std::span<const KnownUsbHandheld> knownUsbHandhelds() { return kKnown; }

const KnownUsbHandheld* findUsbHandheld(uint16_t vendor, uint16_t product) {
  for (const KnownUsbHandheld& known : kKnown) {
    if (known.vendor == vendor && known.product == product) return &known;
  }
  return nullptr;
}

std::string usbIds(uint16_t vendor, uint16_t product) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", vendor, product);
  return text;
}

std::string udevRules() {
  // Products, not whole vendors: Sony and Samsung make much else that a
  // user's session has no business opening.
  std::string text =
      "# Palm OS handhelds on USB: the logged-in user may open them, so tarvo-hotsync\n"
      "# reaches them through libusb without root. Made from the desktop's table of\n"
      "# known handhelds; do not edit.\n"
      "SUBSYSTEM!=\"usb\", GOTO=\"tarvo_hotsync_end\"\n"
      "ENV{DEVTYPE}!=\"usb_device\", GOTO=\"tarvo_hotsync_end\"\n";
  for (const KnownUsbHandheld& known : kKnown) {
    char line[160];
    std::snprintf(line, sizeof line, "# %s\nATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
                  known.name, known.vendor, known.product);
    text += line;
  }
  text += "LABEL=\"tarvo_hotsync_end\"\n";
  return text;
}

}  // namespace hotsync::detail
