#include "ui/progress/progress_templates.h"

#include <array>

namespace tarvo::ui {
namespace {

using K = ControlKind;

// The animation (1005) never plays and the static 246 is never written:
// neither is drawn.
constexpr std::array kProgress{
    TemplateControl{kProgressTask, K::kLabel, "", 7, 7, 171, 15},
    TemplateControl{kProgressStatus, K::kLabel, "", 7, 27, 171, 9},
    TemplateControl{kProgressBar, K::kProgressBar, "", 7, 47, 171, 8},
    TemplateControl{kProgressCancel, K::kDefaultButton, "Cancelar", 67, 73, 50, 14},
};

constexpr std::array kProxy{
    TemplateControl{kProxyMessage, K::kLabel, "O proxy %s pede usu\xc3\xa1rio e senha.", 7, 7, 196, 16},
    TemplateControl{-1, K::kLabel, "Usu\xc3\xa1rio", 7, 30, 40, 8},
    TemplateControl{kProxyUser, K::kEdit, "", 50, 28, 153, 14},
    TemplateControl{-1, K::kLabel, "Senha", 7, 48, 40, 8},
    TemplateControl{kProxyPassword, K::kPasswordEdit, "", 50, 46, 153, 14},
    TemplateControl{-1, K::kLabel, "Dom\xc3\xadnio", 7, 66, 40, 8},
    TemplateControl{kProxyDomain, K::kEdit, "", 50, 64, 153, 14},
    TemplateControl{1, K::kDefaultButton, "OK", 99, 86, 50, 14},
    TemplateControl{2, K::kButton, "Cancelar", 153, 86, 50, 14},
};

}  // namespace

const DialogTemplate& ProgressTemplate() {
  static const DialogTemplate dialog{102, "Tarvo Sync 4.7", 186, 94, kProgress};
  return dialog;
}

const DialogTemplate& ProxyPromptTemplate() {
  static const DialogTemplate dialog{0, "Autentica\xc3\xa7\xc3\xa3o do proxy", 210, 107, kProxy};
  return dialog;
}

std::string ProxyPromptMessage(const std::string& proxy) {
  std::string text(ControlText(ProxyPromptTemplate(), kProxyMessage));
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, proxy.empty() ? std::string("do sistema") : proxy);
  return text;
}

}  // namespace tarvo::ui
