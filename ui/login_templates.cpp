#include "ui/login_templates.h"

#include <array>

namespace tarvo::ui {
namespace {

using K = ControlKind;

constexpr std::array kStandard{
    TemplateControl{-1, K::kLabel, "Login", 7, 23, 18, 8},
    TemplateControl{kStdLogin, K::kEdit, "", 49, 20, 110, 14},
    TemplateControl{-1, K::kLabel, "Senha", 7, 42, 22, 8},
    TemplateControl{kStdPassword, K::kPasswordEdit, "", 49, 38, 110, 14},
    TemplateControl{kStdSave, K::kCheckBox, "Salvar login e senha", 49, 58, 110, 10},
    TemplateControl{kStdRegisterLink, K::kLink, "Quero me cadastrar", 7, 74, 152, 8},
    TemplateControl{kStdForgotLink, K::kLink, "Esqueci a minha senha", 7, 86, 152, 8},
    TemplateControl{1, K::kDefaultButton, "OK", 25, 100, 50, 14},
    TemplateControl{2, K::kButton, "Cancel", 85, 100, 50, 14},
};

constexpr std::array kCorporate{
    TemplateControl{-1, K::kLabel, "Servidor:", 42, 10, 29, 8},
    TemplateControl{kCorpServer, K::kLabel, "", 76, 10, 110, 8},
    TemplateControl{-1, K::kLabel, "Login", 53, 25, 18, 8},
    TemplateControl{kCorpLogin, K::kEdit, "", 76, 23, 110, 14},
    TemplateControl{-1, K::kLabel, "Senha", 49, 41, 22, 8},
    TemplateControl{kCorpPassword, K::kPasswordEdit, "", 76, 39, 110, 14},
    TemplateControl{kCorpSave, K::kCheckBox, "Salvar senha", 76, 61, 57, 10},
    TemplateControl{1, K::kDefaultButton, "OK", 195, 23, 50, 14},
    TemplateControl{2, K::kButton, "Cancel", 195, 40, 50, 14},
    TemplateControl{-1, K::kIcon, "", 16, 26, 20, 20},
};

}  // namespace

const DialogTemplate& StandardLoginTemplate() {
  static const DialogTemplate dialog{214, "Login", 166, 121, kStandard};
  return dialog;
}

const DialogTemplate& CorporateLoginTemplate() {
  static const DialogTemplate dialog{219, "Login", 266, 87, kCorporate};
  return dialog;
}

}  // namespace tarvo::ui
