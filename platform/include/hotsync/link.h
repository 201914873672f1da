// The handheld's end of a HotSync over any link, played by a simulated
// handheld (the desktop's end is hotsync/port.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "hotsync/port.h"
#include "hotsync/syncmgr.h"

namespace hotsync {

using LinkNotice = std::function<void(const std::string&)>;

// How long a handheld waits for a silent desktop before it drops the
// HotSync, as a real one does (docs/link.md): a desktop busy elsewhere must
// send keep-alives more often than this.
constexpr int kHandheldPatienceSeconds = 30;

struct PlayOptions {
  int retrySeconds = 0;                            // keep trying that long while nobody listens or answers
  int patienceSeconds = kHandheldPatienceSeconds;  // silence from the desktop before giving up
  uint64_t hangUpAfter = 0;                        // hang up after answering that many requests (0: never)
  uint32_t rate = 0;                               // the fastest serial speed offered (0: 115200); the desktop picks
  LinkNotice notice;
  uint16_t* endStatus = nullptr;  // gets the desktop's end-of-sync status (0 normal, 2 cancelled, 3 failed)
};

// Plays the simulated handheld in `dir` making a HotSync with the desktop
// at `desktop`: net: connects to a desktop's network HotSync; a tty sends
// the wakeup as a handheld in a serial cradle whose HotSync button was
// pressed; serial-tcp: does the same to a desktop that listens for an
// emulator's serial port. Answers the desktop's requests with the same
// crash safety as a local HotSync and returns when the desktop ends the
// sync. False with a one-line *error when the folder is not a handheld or
// the link fails; every change a completed request made is kept either way.
HOTSYNC_EXPORT bool playHotSync(const std::filesystem::path& dir, const PortName& desktop, const PlayOptions& options,
                                std::string* error);

}  // namespace hotsync
