// USB handhelds for a host that waits for them in its own loop (the
// resident HotSync manager): a watch reports each known handheld that
// arrives, and the HotSync run for it opens exactly that device.
#pragma once

#include <string>

#include "hotsync/syncmgr.h"

namespace hotsync {

// Starts watching USB in a thread of its own. Each known handheld that
// arrives is reported once while it stays on the bus, as a line
// "BUS-ADDRESS\n" on the returned descriptor (non-blocking, close-on-exec).
// *note gets a line worth logging (no USB bus here, no hot-plug events).
// -1 with *note when the watch cannot start.
HOTSYNC_EXPORT int watchUsbHandhelds(std::string* note);
// Ends the watch and closes its descriptor.
HOTSYNC_EXPORT void stopWatchingUsb();

}  // namespace hotsync
