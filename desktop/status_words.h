// The manager's state in words: what the status icon's tooltip says and
// which picture it shows. Words, not colour alone.
#pragma once

#include <QString>

#include "desktop/manager_state.h"

namespace tarvo::desktop {

enum class StatusKind {
  NoManager,  // nothing answers on the manager's socket
  Idle,       // the manager watches no port
  Waiting,    // waiting for a handheld
  Running,    // a HotSync runs
  Done,       // waiting, and the last HotSync went well
  Failed,     // the last HotSync failed and nobody has looked yet
};

struct Status {
  StatusKind kind = StatusKind::NoManager;
  QString tooltip;  // one or more lines
};

// `failureSeen`: the user has looked at the last failure (a click, the log),
// so the icon goes back to waiting while the tooltip keeps saying it.
// `problem`: why there is no manager to show (empty: none runs).
// `cause`: why the last HotSync failed, when its steps said (a conduit's words).
Status describeStatus(const ManagerState* state, bool failureSeen, const QString& problem = {},
                      const QString& cause = {});

// "USB", "/dev/ttyUSB0", "the network": how a port or link reads in a sentence.
QString portWords(const QString& port, const QString& link);

// The last HotSync's end in one line: "Last HotSync done at 18:02", ...
QString lastHotSyncWords(const HotSyncState& last, const QString& cause = {});

}  // namespace tarvo::desktop
