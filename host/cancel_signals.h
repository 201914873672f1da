// SIGINT, SIGTERM and SIGHUP as the Cancel button of a HotSync, whatever
// front end shows it: the first one asks the platform to cancel (the
// conduit's dialog sees it at its next yield, aborts the request in flight
// and the HotSync ends cleanly); a second one ends the process at once, as
// the signal would have (the handheld's journal keeps its changes safe).
#pragma once

#include <signal.h>

namespace tarvo::host {

class CancelSignals {
 public:
  // Installs the handlers; the previous ones come back on destruction.
  CancelSignals();
  ~CancelSignals();
  CancelSignals(const CancelSignals&) = delete;
  CancelSignals& operator=(const CancelSignals&) = delete;

  // The signal that asked for the cancel, or 0.
  static int Received();

 private:
  struct sigaction m_previous[3]{};
};

}  // namespace tarvo::host
