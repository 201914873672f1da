#include "ui/login_front_end.h"

#include <mutex>

#include "ui/login_dialog_model.h"

namespace {

std::mutex g_factoryMutex;
LoginFrontEndFactory g_factory;

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
  if (!frontEnd) frontEnd = std::make_unique<CancelLoginFrontEnd>();
  return frontEnd;
}
