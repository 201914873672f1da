// --listen for the host's commands: waiting for a handheld's network HotSync.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::host {

// Opens the listening socket on `address` (empty: 127.0.0.1, port 14238),
// warning on standard error when it is not a loopback address. Returns the
// port, or 0 with a one-line *error.
uint16_t openHandheldListener(const std::string& address, std::string* error);

// Set by the HotSync manager in the `sync --listen` it starts for a network
// HotSync it accepted: the descriptor of that connection (see
// host/handheld_port.h).
inline constexpr char kHandedLinkEnv[] = "TARVO_HOTSYNC_LINK_FD";

// Set by the HotSync manager in the HotSyncs it starts: the seconds one may
// wait for a handheld to call while others queue behind it.
inline constexpr char kHandheldWaitEnv[] = "TARVO_HOTSYNC_HANDHELD_WAIT";

}  // namespace tarvo::host
