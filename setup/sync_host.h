// Stopping and starting the resident HotSync host (tarvo-hotsync manager),
// so that it reads a new registration when it starts again.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace tarvo::setup {

class SyncHost {
 public:
  virtual ~SyncHost() = default;
  // Posts one quit request; false when no host answered (none runs).
  virtual bool requestQuit() = 0;
  virtual void pause(std::chrono::milliseconds time) = 0;
  // Starts the host again: through systemd when systemd ran the one that
  // quit, else with its restart switch; the outcome is not examined.
  virtual void start() = 0;
};

// The manager of this Linux user, started from the host's program folder.
SyncHost& platformSyncHost();

// The systemd user unit that starts the manager at log-in.
inline constexpr char kManagerUnit[] = "tarvo-hotsync.service";

// Whether process `pid` runs in that unit, started by the user's systemd.
bool runByUserUnit(pid_t pid);

inline constexpr int kCloseRequests = 20;
inline constexpr std::chrono::milliseconds kCloseWait{500};

// Asks the host to quit until none answers, at most kCloseRequests times
// with kCloseWait between. True when no host is left; false (and a line on
// standard error) when it did not quit.
bool closeSyncHost(SyncHost& host);

}  // namespace tarvo::setup
