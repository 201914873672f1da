#include "ui/login_front_end.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

#include "ui/login_dialog_model.h"
#include "ui/term/login_terminal.h"

namespace {

std::mutex g_factoryMutex;
LoginFrontEndFactory g_factory;

std::unique_ptr<LoginFrontEnd> DefaultFrontEnd() {
  const char* noTty = std::getenv("TARVO_NO_TTY");
  if (noTty != nullptr && std::string_view(noTty) != "" && std::string_view(noTty) != "0")
    return std::make_unique<CancelLoginFrontEnd>();
  if (std::unique_ptr<LoginFrontEnd> terminal = tarvo::term::OpenTerminalLoginFrontEnd()) return terminal;
  return std::make_unique<CancelLoginFrontEnd>();
}

}  // namespace

void CancelLoginFrontEnd::Run(LoginDialogModel& model) { model.OnCancel(); }

void SetLoginFrontEndFactory(LoginFrontEndFactory factory) {
  std::lock_guard<std::mutex> lock(g_factoryMutex);
  g_factory = std::move(factory);
}

std::unique_ptr<LoginFrontEnd> MakeLoginFrontEnd() {
  LoginFrontEndFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    factory = g_factory;
  }
  std::unique_ptr<LoginFrontEnd> frontEnd;
  if (factory) frontEnd = factory();
  if (!frontEnd) frontEnd = DefaultFrontEnd();
  return frontEnd;
}
