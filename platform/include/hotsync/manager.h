// Where the resident HotSync manager meets its callers: one per Linux user,
// a lock and a local socket in $XDG_RUNTIME_DIR/tarvo-hotsync/ (owner-only).
// A request is one frame (4-byte big-endian length, then NUL-terminated
// fields); the first field is the verb. A "sync" request carries the caller's
// standard input, output and error along with it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "hotsync/syncmgr.h"

namespace hotsync {

// The folder, made mode 0700 when missing. Empty with *error when it cannot
// be made or is not this user's own, owner-only folder.
HOTSYNC_EXPORT std::filesystem::path managerDir(std::string* error);

// A connected socket to this user's manager, or -1 when none answers.
HOTSYNC_EXPORT int connectManager();

// Sends one request; `fds` (at most 3) travel with it. False on a write error.
HOTSYNC_EXPORT bool sendManagerFrame(int socket, const std::vector<std::string>& fields,
                                     const std::vector<int>& fds = {});
// Reads one request (at most 64 KiB); *fds gets the descriptors that came
// with it, owned by the caller. False on a short or malformed frame.
HOTSYNC_EXPORT bool receiveManagerFrame(int socket, std::vector<std::string>* fields, std::vector<int>* fds);
// Reads one reply line (without the line break); false when the peer closed first.
HOTSYNC_EXPORT bool receiveManagerLine(int socket, std::string* line);

// Asks this user's manager to quit. False when no manager runs (nothing
// listens on its socket).
HOTSYNC_EXPORT bool requestManagerQuit();

}  // namespace hotsync
