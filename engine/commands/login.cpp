// The login command: picks the stored (scrambled) credentials of the
// server, asks the user when there are none usable, and posts the login.
#include "engine/commands/login_prompt.h"
#include "engine/engine_text.h"
#include "engine/shell_open.h"
#include "engine/tarvo_conduit.h"
#include "http/crack_url.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "settings/password_scramble.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui/login_dialogs.h"
#include "ui/progress/conduit_progress.h"

namespace {

constexpr int32_t kEmptyAnswer = 12007;

LoginPrompt& CurrentPrompt() {
  static LoginPrompt prompt;
  return prompt;
}

// The dialog's links go to the product's web site, in the user's browser.
void OpenLink(const std::string& url) {
  if (tarvo::engine::IsWebAddress(url)) tarvo::engine::ShellOpen(url);
}

// Asks with the login dialogs, shown by whichever front end is registered.
LoginPromptAnswer AskWithDialogs(const LoginPromptRequest& request) {
  if (!request.corporate) {
    CLoginDialog dlg;
    dlg.m_countdown = request.countdownSeconds;
    dlg.m_captionSuffix = request.titleSuffix;
    dlg.m_openLink = OpenLink;
    if (dlg.DoModal() != IDOK) return {false, {}, {}, false, dlg.TimedOut()};
    return {true, dlg.m_login, dlg.m_password, dlg.m_save == 1};
  }
  CLoginDlgCorp dlg;
  dlg.m_countdown = request.countdownSeconds;
  dlg.m_noSave = request.dontSave;
  dlg.m_title = request.titleSuffix;
  // The server's caption, replaced by the host name when the URL has one.
  dlg.m_server = request.host.empty() ? request.caption : request.host;
  dlg.m_openLink = OpenLink;
  if (dlg.DoModal() != IDOK) return {false, {}, {}, false, dlg.TimedOut()};
  return {true, dlg.m_login, dlg.m_password, dlg.m_save == 1};
}

}  // namespace

void SetLoginPrompt(LoginPrompt prompt) { CurrentPrompt() = std::move(prompt); }

std::string HostOfUrl(const std::string& url) {
  std::optional<CrackedUrl> parts = CrackUrl(url);
  if (!parts) return {};
  std::string& host = parts->host;
  if (host.size() > 1 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

int32_t CTarvoConduit::RunCommandLogin(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunCommandLogin(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  namespace keys = tarvo::settings;
  const std::string url = GetAttribute(cmd, "url", SyncSrv);
  const std::string invalido = GetAttribute(cmd, "invalido", "0");

  std::string task = RCString(tarvo::res::kAuthenticating).str();
  if (!ActualServer.sCaption.empty()) task += " em";
  task += "... ";
  m_dlgprg->m_task = task;
  m_dlgprg->m_status = ActualServer.sCaption;
  m_dlgprg->Refresh();

  const std::string user = tarvo::engine::FieldText(m_userInfo.m_pName, sizeof m_userInfo.m_pName);
  const bool defaultServer = SyncSrv == DefaultSyncServerUrl();
  const std::string serverSection = keys::UserServerSection(user, SyncSrv);
  const tarvo::SettingsStore store = tarvo::AppSettings();

  std::string login = "none";
  std::string senha = "none";
  if (invalido != "1") {
    const std::string& section = defaultServer ? user : serverSection;
    login = store.ReadText(section, keys::kLogin, "");
    senha = store.ReadText(section, keys::kSenha, "");
  }

  if (login == "none" || ActualServer.bDontSave) {
    LoginPromptRequest request;
    request.corporate = !defaultServer;
    request.serverUrl = SyncSrv;
    request.dontSave = ActualServer.bDontSave;
    if (defaultServer) {
      request.countdownSeconds = 60;
      request.titleSuffix = "Tarvo";
    } else {
      request.countdownSeconds = 30;
      request.titleSuffix = "Login";
      request.caption = ActualServer.sCaption;
      request.host = HostOfUrl(SyncSrv);
    }
    const LoginPrompt& prompt = CurrentPrompt();
    const LoginPromptAnswer answer = prompt ? prompt(request) : AskWithDialogs(request);
    if (!answer.confirmed) {
      // Nothing sent, credentials unchanged. A dialog the host's Cancel
      // closed ends the HotSync; any other is this server's failure.
      m_dlgprg->Pump();
      NoteServerFailure(
          {answer.timedOut ? ServerFailure::Kind::kLoginTimedOut : ServerFailure::Kind::kLoginDeclined, 0});
      return 0;
    }

    login = UsrEncriptaSenha(answer.login);
    senha = UsrEncriptaSenha(answer.password);
    if (answer.remember) {
      const std::string& section = defaultServer ? user : serverSection;
      store.WriteText(section, keys::kLogin, login);
      store.WriteText(section, keys::kSenha, senha);
      if (!defaultServer) store.WriteText(section, keys::kNome, ActualServer.sCaption);
    }
  }

  m_credentials = "login=" + login + "&senha=" + senha;
  const std::string page = GetPage(url, "cmd=login&" + m_credentials + m_baseParams);
  ParseResponse(page);
  return page.empty() ? kEmptyAnswer : 0;
}
