#include "ui/login_front_end.h"

#include "ui/front_end_factory.h"
#include "ui/login_dialog_model.h"

namespace {

FrontEndFactorySlot<LoginFrontEnd, CancelLoginFrontEnd> g_factory;

}  // namespace

void CancelLoginFrontEnd::Run(LoginDialogModel& model) { model.OnCancel(); }

void SetLoginFrontEndFactory(LoginFrontEndFactory factory) { g_factory.Set(std::move(factory)); }

std::unique_ptr<LoginFrontEnd> MakeLoginFrontEnd() { return g_factory.Make(); }
