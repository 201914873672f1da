// The configuration sheet and the wizard on a terminal: a text form per
// page with the same fields, validation and defaults as the windows. The
// sheet asks which page to open next, or OK, Apply or Cancel; the wizard
// goes page by page with Next, Back, Finish and Cancel.
#pragma once

#include <memory>

#include "ui/config_front_end.h"

namespace tarvo::term {

class TerminalConfigFrontEnd final : public ConfigFrontEnd {
 public:
  // Reads and writes `fd`, a terminal; closes it at the end when `ownsFd`.
  TerminalConfigFrontEnd(int fd, bool ownsFd);
  ~TerminalConfigFrontEnd() override;
  TerminalConfigFrontEnd(const TerminalConfigFrontEnd&) = delete;
  TerminalConfigFrontEnd& operator=(const TerminalConfigFrontEnd&) = delete;

  void RunSheet(CPropsConduit& sheet) override;
  void RunWizard(CConfigWizard& wizard) override;

 private:
  int m_fd;
  bool m_ownsFd;
};

// The controlling terminal when the process has one and is in its
// foreground; null otherwise.
std::unique_ptr<ConfigFrontEnd> OpenTerminalConfigFrontEnd();

}  // namespace tarvo::term
