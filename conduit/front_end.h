// The one place that chooses how the conduit shows its dialogs.
#pragma once

#include <memory>

#include "ui/config_front_end.h"

namespace tarvo::qt {
class ApplicationScope;
}

// While it lives, new progress dialogs and login dialogs use the chosen
// front end:
//   - Qt when a display is present and TARVO_NO_GUI is not set (the host's
//     --no-gui sets it): the host's application object, or one of our own;
//   - otherwise the terminal: the progress in place on a terminal, plain
//     lines on standard error when it is not one (TARVO_PROGRESS=none|lines|
//     term forces a choice), the login prompt on the controlling terminal
//     (TARVO_NO_TTY=1: none, the dialog ends as Cancel at once).
// The host's Cancel (SIGINT, SIGTERM, SIGHUP in tarvo-hotsync) presses
// Cancel in either. Make it on the HotSync thread.
class FrontEndScope {
 public:
  FrontEndScope();
  ~FrontEndScope();
  FrontEndScope(const FrontEndScope&) = delete;
  FrontEndScope& operator=(const FrontEndScope&) = delete;

  bool UsesQt() const { return m_app != nullptr; }

 private:
  std::unique_ptr<tarvo::qt::ApplicationScope> m_app;
};

namespace tarvo::conduit {

// The configuration sheet's and the wizard's front end, chosen as above:
// a window, else the controlling terminal, else nobody (the unattended one).
std::unique_ptr<ConfigFrontEnd> ChooseConfigFrontEnd();

}  // namespace tarvo::conduit
