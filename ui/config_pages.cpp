#include "ui/config_pages.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "http/url_site.h"
#include "resources/rcstring.h"
#include "resources/text_codec.h"
#include "resources/trace.h"
#include "settings/password_scramble.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace ui = tarvo::ui;
namespace keys = tarvo::settings;

namespace {

// A string resource with one printf argument.
template <typename T>
std::string Format(unsigned id, T value) {
  const std::string pattern = RCString(id).utf8();
  const int size = std::snprintf(nullptr, 0, pattern.c_str(), value);
  if (size <= 0) return pattern;
  std::string out(static_cast<std::size_t>(size) + 1, '\0');
  std::snprintf(out.data(), out.size(), pattern.c_str(), value);
  out.resize(static_cast<std::size_t>(size));
  return out;
}

}  // namespace

// --- CConfigPage ---------------------------------------------------------

void CConfigPage::OnSetActive() {
  if (m_loaded) return;
  Load();
  m_loaded = true;
  m_modified = false;
}

void CConfigPage::OnOK() {
  if (!m_loaded) return;
  Save();
  m_modified = false;
}

// --- CPropIdentifica -----------------------------------------------------

void CPropIdentifica::SetUser(const std::string& user) {
  if (user != m_user) Unload();
  m_user = user;
  m_register.m_text = "Quero me cadastrar";
  m_register.SetLinkUrl(TarvoUrl("passo_a_passo.asp", "").m_fullUrl);
  m_forgot.m_text = "Esqueci a minha senha";
  m_forgot.SetLinkUrl(TarvoUrl("minha_senha.asp", "").m_fullUrl);
}

void CPropIdentifica::Load() {
  TarvoTrace("CPropIdentifica::OnSetActive()");
  const tarvo::SettingsStore store = tarvo::AppSettings();
  m_login = UsrDesencriptaSenha(store.ReadText(m_user, keys::kLogin, ""));
  m_password = UsrDesencriptaSenha(store.ReadText(m_user, keys::kSenha, ""));
  m_shouldSave = true;
}

void CPropIdentifica::Save() {
  if (!m_shouldSave) return;
  const tarvo::SettingsStore store = tarvo::AppSettings();
  store.WriteText(m_user, keys::kLogin, UsrEncriptaSenha(m_login));
  store.WriteText(m_user, keys::kSenha, UsrEncriptaSenha(m_password));
}

void CPropIdentifica::EditLogin(const std::string& text) {
  if (text != m_login) SetModified();
  m_login = text;
}

void CPropIdentifica::EditPassword(const std::string& text) {
  if (text != m_password) SetModified();
  m_password = text;
}

std::string CPropIdentifica::UserCaption() const {
  return Format(tarvo::res::kHotSyncUserCaption, tarvo::Cp1252ToUtf8(m_user).c_str());
}

// --- CPropGeral ----------------------------------------------------------

void CPropGeral::SetUser(const std::string& user) {
  if (user != m_user) Unload();
  m_user = user;
}

void CPropGeral::Load() {
  const tarvo::SettingsStore store = tarvo::AppSettings();
  m_next = store.ReadInt(m_user, keys::kProximo, keys::kActionDefault) != 0 ? 1 : 0;
  m_default = store.ReadInt(m_user, keys::kPadrao, keys::kActionDefault) != 0 ? 1 : 0;
}

void CPropGeral::Save() {
  const tarvo::SettingsStore store = tarvo::AppSettings();
  store.WriteInt(m_user, keys::kProximo, m_next);
  store.WriteInt(m_user, keys::kPadrao, m_default);
}

void CPropGeral::SetNext(bool update) {
  m_next = update ? 1 : 0;
  SetModified();
}

void CPropGeral::SetDefault(bool update) {
  m_default = update ? 1 : 0;
  SetModified();
}

// --- CPropComm -----------------------------------------------------------

void CPropComm::Load() {
  const tarvo::SettingsStore store = tarvo::AppSettings();
  const char* section = keys::kComunicacao;
  m_timeout = store.ReadInt(section, keys::kTimeout, keys::kTimeoutDefault);
  m_useProxy = store.ReadInt(section, keys::kUsarProxy, 0) != 0 ? 1 : 0;
  m_useAuth = store.ReadInt(section, keys::kUsarAutenticacao, 0) != 0 ? 1 : 0;
  m_proxyPort = store.ReadInt(section, keys::kProxyPort, keys::kProxyPortPageDefault);
  m_proxyHost = store.ReadText(section, keys::kProxyHost, "");
  m_proxyPassword = UsrDesencriptaSenha(store.ReadText(section, keys::kProxySenha, ""));
  const std::string joined = store.ReadText(section, keys::kProxyUsuario, "");
  const std::size_t slash = joined.find('\\');
  m_domain = slash == std::string::npos ? std::string() : joined.substr(0, slash);
  m_proxyUser = slash == std::string::npos ? joined : joined.substr(slash + 1);
  m_portText = std::to_string(m_proxyPort);
  m_timeout = ui::RoundTimeout(m_timeout);
  m_timeoutText = ui::TimeoutText(m_timeout);
}

bool CPropComm::TakePort() {
  const std::optional<int32_t> port = ui::ParsePort(m_portText);
  if (!port) {
    SetError(ui::PortErrorText());
    return false;
  }
  m_proxyPort = *port;
  SetError({});
  return true;
}

bool CPropComm::OnKillActive() { return !Loaded() || TakePort(); }

void CPropComm::Save() {
  // The sheet only saves after a successful OnKillActive; the wizard's Save
  // may come straight after Finish, so a bad port keeps the stored one.
  const bool portOk = TakePort();
  const tarvo::SettingsStore store = tarvo::AppSettings();
  const char* section = keys::kComunicacao;
  store.WriteInt(section, keys::kTimeout, m_timeout);
  store.WriteInt(section, keys::kUsarProxy, m_useProxy);
  store.WriteInt(section, keys::kUsarAutenticacao, m_useAuth);
  if (m_useProxy != 0) {
    store.WriteText(section, keys::kProxyHost, m_proxyHost);
    if (portOk) store.WriteInt(section, keys::kProxyPort, m_proxyPort);
  }
  if (m_useAuth != 0) {
    store.WriteText(section, keys::kProxyUsuario, m_domain.empty() ? m_proxyUser : m_domain + "\\" + m_proxyUser);
    store.WriteText(section, keys::kProxySenha, UsrEncriptaSenha(m_proxyPassword));
  }
}

void CPropComm::ReleaseSlider(int32_t position) {
  m_timeout = ui::RoundTimeout(position);
  m_timeoutText = ui::TimeoutText(m_timeout);
  SetModified();
}

void CPropComm::SetUseProxy(bool on) {
  m_useProxy = on ? 1 : 0;
  SetModified();
}

void CPropComm::SetUseAuth(bool on) {
  m_useAuth = on ? 1 : 0;
  SetModified();
}

void CPropComm::EditProxyHost(const std::string& text) {
  if (text != m_proxyHost) SetModified();
  m_proxyHost = text;
}

void CPropComm::EditProxyPort(const std::string& text) {
  if (text != m_portText) SetModified();
  m_portText = text;
}

void CPropComm::EditProxyUser(const std::string& text) {
  if (text != m_proxyUser) SetModified();
  m_proxyUser = text;
}

void CPropComm::EditProxyPassword(const std::string& text) {
  if (text != m_proxyPassword) SetModified();
  m_proxyPassword = text;
}

void CPropComm::EditDomain(const std::string& text) { m_domain = text; }

// --- helpers -------------------------------------------------------------

int32_t ui::RoundTimeout(int32_t seconds) {
  int32_t t = std::clamp(seconds, CPropComm::kTimeoutMin, CPropComm::kTimeoutMax);
  const int32_t r = t % CPropComm::kTimeoutStep;
  t = r < 8 ? t - r : t + (CPropComm::kTimeoutStep - r);
  return t;
}

std::string ui::TimeoutText(int32_t seconds) {
  const int32_t m = seconds / 60;
  const int32_t s = seconds % 60;
  std::string minutes;
  if (m == 1) minutes = RCString(tarvo::res::kOneMinute).utf8();
  if (m > 1) minutes = Format(tarvo::res::kMinutes, m);
  if (s == 0) return minutes;
  if (minutes.empty()) return Format(tarvo::res::kSeconds, s);
  const std::string pattern = RCString(tarvo::res::kMinutesAndSeconds).utf8();  // "%s e %d segundos"
  char out[128];
  std::snprintf(out, sizeof out, pattern.c_str(), minutes.c_str(), s);
  return out;
}

std::optional<int32_t> ui::ParsePort(const std::string& text) {
  std::size_t begin = text.find_first_not_of(' ');
  std::size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  int64_t value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || value < 0 || value > CPropComm::kPortMax) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::string ui::PortErrorText() { return "Digite um número inteiro entre 0 e 100000."; }
