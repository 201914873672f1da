// Who shows a login dialog. A front end (terminal, Qt, a test) shows the
// model until it has ended; new dialogs take theirs from the process-wide
// factory, which the program installs where it chooses its front end.
#pragma once

#include <functional>
#include <memory>

class LoginDialogModel;

class LoginFrontEnd {
 public:
  virtual ~LoginFrontEnd() = default;
  // Shows the initialised model, feeds it the user's input and its timer
  // ticks, and returns once model.Ended(). Returning earlier counts as Cancel.
  virtual void Run(LoginDialogModel& model) = 0;
};

// Nobody to ask (no display, no terminal): the dialog ends as Cancel at once,
// so an unattended HotSync never waits.
class CancelLoginFrontEnd final : public LoginFrontEnd {
 public:
  void Run(LoginDialogModel& model) override;
};

using LoginFrontEndFactory = std::function<std::unique_ptr<LoginFrontEnd>()>;

// Replaces the factory; an empty function restores the default: nobody to
// ask, Cancel at once. The program that shows windows installs its own.
void SetLoginFrontEndFactory(LoginFrontEndFactory factory);
// A front end from the current factory; never null.
std::unique_ptr<LoginFrontEnd> MakeLoginFrontEnd();
