// The login dialogs on a terminal. Above the prompt: the server line or the
// dialog's links with their addresses. The prompt line carries the caption,
// with the countdown while it runs, then the field being filled: login
// (echoed), password (nothing echoed: the terminal's echo is off), and the
// save box (space toggles). Enter or Tab moves on; Enter on the save box is
// OK; Escape, Ctrl-C or Ctrl-D is Cancel. The dialog erases itself when it
// ends, as a closing window would.
#pragma once

#include <memory>

#include "ui/login_front_end.h"

namespace tarvo::term {

class TerminalLoginFrontEnd final : public LoginFrontEnd {
 public:
  // Reads and writes `fd`, a terminal; closes it at the end when `ownsFd`.
  TerminalLoginFrontEnd(int fd, bool ownsFd);
  ~TerminalLoginFrontEnd() override;
  TerminalLoginFrontEnd(const TerminalLoginFrontEnd&) = delete;
  TerminalLoginFrontEnd& operator=(const TerminalLoginFrontEnd&) = delete;

  // Waits in poll() for keys, at most one second at a time, and runs the
  // model's timer between them.
  void Run(LoginDialogModel& model) override;

 private:
  int m_fd;
  bool m_ownsFd;
};

// The controlling terminal (/dev/tty) when the process has one and is in
// its foreground; null otherwise.
std::unique_ptr<LoginFrontEnd> OpenTerminalLoginFrontEnd();

}  // namespace tarvo::term
