// The two login dialogs. The login command constructs one, sets its public
// members, runs it with DoModal and reads m_login, m_password and m_save
// after IDOK. Texts are Windows-1252.
#pragma once

#include <cstdint>
#include <string>

#include "ui/login_dialog_model.h"
#include "ui/static_link.h"

// What both dialogs ask for and the login command reads back.
class LoginFieldsDialog : public LoginDialogModel {
 public:
  std::string m_login;
  std::string m_password;
  int m_save = 0;

 protected:
  LoginControls MembersToControls() const override;
  void ControlsToMembers(const LoginControls& controls) override;
};

// The default sync server's dialog: login, password, "Salvar login e
// senha" and two links to the product's web site.
class CLoginDialog final : public LoginFieldsDialog {
 public:
  static constexpr std::size_t kLoginLimit = 100;
  static constexpr std::size_t kPasswordLimit = 10;

  CLoginDialog();

  LoginLayout Layout() override;

  std::string m_captionSuffix;
  CStaticLink m_linkForgot;
  CStaticLink m_linkRegister;

 protected:
  std::string TemplateCaption() const override;
  void BuildCaption() override;
  bool TakesValuesOnCancel() const override { return false; }
};

// Any other server's dialog: shows the server's host, and its "Salvar
// senha" box can be forbidden by the server's modules.
class CLoginDlgCorp final : public LoginFieldsDialog {
 public:
  CLoginDlgCorp() = default;

  LoginLayout Layout() override;

  bool m_noSave = false;
  std::string m_title;
  std::string m_server;

 protected:
  std::string TemplateCaption() const override;
  void BuildCaption() override;
  bool TakesValuesOnCancel() const override { return true; }
};
