// Prints the udev rule that gives the logged-in user access to the USB
// handhelds the desktop knows, so the installed rule never drifts from the
// table.
#include <cstdio>

#include "link/usb/usb_ids.h"

int main() {
  std::fputs(hotsync::detail::udevRules().c_str(), stdout);
  return 0;
}
