#include "ui/login_dialogs.h"

#include "http/url_site.h"
#include "resources/text_codec.h"
#include "ui/login_templates.h"

namespace {

using namespace tarvo::ui;

std::string TemplateText(const DialogTemplate& dialog, int id) { return std::string(ControlText(dialog, id)); }
std::string Label(const DialogTemplate& dialog, int id) { return std::string(LabelBefore(dialog, id)); }

}  // namespace

LoginControls LoginFieldsDialog::MembersToControls() const { return {m_login, m_password, m_save == 1}; }

void LoginFieldsDialog::ControlsToMembers(const LoginControls& controls) {
  m_login = controls.login;
  m_password = controls.password;
  m_save = controls.save ? 1 : 0;
}

CLoginDialog::CLoginDialog()
    : m_linkForgot(TemplateText(StandardLoginTemplate(), kStdForgotLink)),
      m_linkRegister(TemplateText(StandardLoginTemplate(), kStdRegisterLink)) {
  m_linkRegister.SetLinkUrl(TarvoUrl("passo_a_passo.asp", "").m_fullUrl);
  m_linkForgot.SetLinkUrl(TarvoUrl("minha_senha.asp", "").m_fullUrl);
  m_linkRegister.SetLinkCursor(kHandCursorId);
  m_linkForgot.SetLinkCursor(kHandCursorId);
}

LoginLayout CLoginDialog::Layout() {
  const DialogTemplate& dialog = StandardLoginTemplate();
  LoginLayout layout;
  layout.dialog = &dialog;
  layout.loginLabel = Label(dialog, kStdLogin);
  layout.passwordLabel = Label(dialog, kStdPassword);
  layout.saveLabel = TemplateText(dialog, kStdSave);
  layout.loginLimit = kLoginLimit;
  layout.passwordLimit = kPasswordLimit;
  layout.links = {&m_linkRegister, &m_linkForgot};  // in the template's order
  return layout;
}

std::string CLoginDialog::TemplateCaption() const { return tarvo::Utf8ToCp1252(StandardLoginTemplate().caption); }

void CLoginDialog::BuildCaption() {
  m_caption = WindowText() + ": " + m_captionSuffix;
  SetWindowText(m_caption);
}

LoginLayout CLoginDlgCorp::Layout() {
  const DialogTemplate& dialog = CorporateLoginTemplate();
  LoginLayout layout;
  layout.dialog = &dialog;
  layout.serverLabel = Label(dialog, kCorpServer);
  layout.server = tarvo::Cp1252ToUtf8(m_server);
  layout.loginLabel = Label(dialog, kCorpLogin);
  layout.passwordLabel = Label(dialog, kCorpPassword);
  layout.saveLabel = TemplateText(dialog, kCorpSave);
  layout.saveEnabled = !m_noSave;
  return layout;
}

std::string CLoginDlgCorp::TemplateCaption() const { return tarvo::Utf8ToCp1252(CorporateLoginTemplate().caption); }

void CLoginDlgCorp::BuildCaption() {
  SetWindowText(m_title);
  m_caption = WindowText() + ": " + m_server;
  SetWindowText(m_caption);
}
