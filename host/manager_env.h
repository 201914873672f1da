// What the HotSync manager tells the HotSyncs it runs for handhelds that called.
#pragma once

namespace tarvo::host {

// Set by the HotSync manager in the `sync --listen` it starts for a network
// HotSync it accepted: the descriptor of that connection (see
// host/handheld_port.h).
inline constexpr char kHandedLinkEnv[] = "TARVO_HOTSYNC_LINK_FD";

// Set by the HotSync manager in the HotSyncs it starts: the seconds one may
// wait for a handheld to call while others queue behind it.
inline constexpr char kHandheldWaitEnv[] = "TARVO_HOTSYNC_HANDHELD_WAIT";

}  // namespace tarvo::host
