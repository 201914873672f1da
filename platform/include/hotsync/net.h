// The desktop's Internet connection check.
#pragma once

#include <cstdint>

#include "hotsync/syncmgr.h"

// True when an up, non-loopback interface has an address, unless the host
// forced the answer (hotsync::setOnlineOverride). *flags gets 0 or 1 (LAN).
HOTSYNC_API int32_t InternetGetConnectedState(uint32_t* flags, uint32_t reserved);
