// Network HotSync (the Desktop Link Protocol over TCP, port 14238): the
// handheld's end, played by a simulated handheld, and the desktop's end,
// which connects a real or played handheld behind the Sync Manager.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "hotsync/syncmgr.h"

namespace hotsync {

using LinkNotice = std::function<void(const std::string&)>;

// Plays the simulated handheld in `dir` making a network HotSync with the
// desktop at `desktop` ("HOST[:PORT]"): connects (trying again for up to
// `retrySeconds` while nothing listens), answers the desktop's requests
// with the same crash safety as a local HotSync, and returns when the
// desktop ends the sync. False with a one-line *error when the folder is not
// a handheld or the link fails; every change a completed request made is
// kept either way.
HOTSYNC_EXPORT bool playNetworkHotSync(const std::filesystem::path& dir, const std::string& desktop,
                                       int retrySeconds, const LinkNotice& notice, std::string* error);

}  // namespace hotsync
