// What tests reach inside the library: built into the library the build
// tree's programs and tests use, never into the one that is installed
// (test_hooks.cpp and shipped_hooks.cpp fill them in).
#pragma once

#include <memory>

namespace hotsync::detail {

class UsbBus;

// Kill tests stop the process at a named step of a multi-file change:
// TARVO_CRASH_AT=<step> makes it die there as if killed.
void crashPoint(const char* step);
// Tests play handhelds on a bus of their own: TARVO_PLAYED_USB=<folder>.
// Null when there is none.
std::unique_ptr<UsbBus> playedUsbBus();
// One more whole database read from the connected handheld.
void countWholeRead();

}  // namespace hotsync::detail
