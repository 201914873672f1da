// Starting one HotSync of the manager's queue: a `tarvo-hotsync sync
// --managed` process of its own, with the caller's terminal or the
// manager's log, and a pipe on which it reports its steps.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/session_environment.h"

namespace tarvo::host {

struct HotSyncLaunch {
  std::vector<std::string> options;  // the manager's own: --port, --listen, --usb-device...
  std::vector<std::string> args;     // a caller's arguments after `sync`
  std::string cwd;                   // its working folder
  std::vector<int> stdio;            // the caller's stdin, stdout, stderr; none: /dev/null in, the log out
  int linkFd = -1;                   // a network handheld's accepted connection
  // The desktop session it runs in, in place of the manager's own; none: the manager's.
  std::optional<SessionEnvironment> session;
  int handheldWait = 300;  // seconds it may wait for its handheld unless --wait says
};

struct RunningHotSync {
  pid_t pid = -1;
  int pidFd = -1;     // readable when it ended; -1 on kernels without pidfd
  int reportFd = -1;  // its steps, one JSON object per line (non-blocking)
};

// False with *error when it cannot be started.
bool startHotSync(const HotSyncLaunch& launch, RunningHotSync* running, std::string* error);

}  // namespace tarvo::host
