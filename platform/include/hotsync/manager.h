// Where the resident HotSync manager meets its callers: one per Linux user,
// a lock and a local socket in $XDG_RUNTIME_DIR/tarvo-hotsync/ (owner-only).
// Every message is one line of JSON (docs/manager-protocol.md); a "sync"
// request carries the caller's standard input, output and error with it.
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

// Sends one line (the line break is added); `fds` (at most 3) travel with
// its first byte. False on a write error.
HOTSYNC_EXPORT bool sendManagerLine(int socket, const std::string& line, const std::vector<int>& fds = {});
// Reads one line, without its line break (at most 64 KiB). *fds, when
// given, gets the descriptors that came with it, owned by the caller (any
// that come without *fds are closed). False when the peer closed first, on
// a read error or a line too long.
HOTSYNC_EXPORT bool receiveManagerLine(int socket, std::string* line, std::vector<int>* fds = nullptr);

// Asks this user's manager to quit. False when no manager runs (nothing
// listens on its socket).
HOTSYNC_EXPORT bool requestManagerQuit();

}  // namespace hotsync
