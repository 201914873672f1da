// For tests only: what the library built for the build tree offers them.
// Not installed; the installed library has none of it.
#pragma once

#include <cstdint>

#include "hotsync/syncmgr.h"

namespace hotsync {

// Set by tests to a folder of played USB handhelds, which then stands in for
// the machine's USB bus (docs/link.md).
inline constexpr char kPlayedUsbEnv[] = "TARVO_PLAYED_USB";

// How many whole databases were read from the connected handheld.
HOTSYNC_EXPORT uint64_t wholeDatabaseReads();

}  // namespace hotsync
