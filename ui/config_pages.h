// The three configuration pages that the property sheet and the first-run
// wizard share: identification (login for the default server), schedule
// (what the next HotSync and the following ones do) and connection (time
// limit, proxy). Toolkit-free: a front end shows a page's members, feeds the
// user's edits through the setters and calls the lifecycle operations the
// sheet or the wizard decides on. Texts in members are Windows-1252.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ui/static_link.h"

// What every page has: whether it has been shown (and loaded) in this run,
// and whether the user changed something since it was loaded or saved.
class CConfigPage {
 public:
  virtual ~CConfigPage() = default;

  // The page becomes the visible one. It loads its values from the store the
  // first time it is shown in a run (and again when the HotSync user it shows
  // has changed), so switching between pages keeps what was typed.
  void OnSetActive();
  // Leaving the page: false (with ValidationError()) keeps the user on it.
  virtual bool OnKillActive() { return true; }
  // OK or Apply: saves a page that was shown; a page never shown is left alone.
  void OnOK();
  // The sheet closes without saving.
  virtual void OnCancel() {}
  // A new modal run: pages are loaded again when they are next shown.
  void Reset() {
    m_loaded = false;
    m_modified = false;
  }

  // Writes the page's values to the store (the wizard calls it after Finish).
  virtual void Save() = 0;

  bool Loaded() const { return m_loaded; }
  bool Modified() const { return m_modified; }
  // UTF-8 message of a failed OnKillActive; empty after a successful one.
  const std::string& ValidationError() const { return m_error; }

 protected:
  virtual void Load() = 0;
  void SetModified() { m_modified = true; }
  void SetError(std::string error) { m_error = std::move(error); }
  // Marks the page as needing a load at its next activation.
  void Unload() { m_loaded = false; }

 private:
  bool m_loaded = false;
  bool m_modified = false;
  std::string m_error;
};

// Identification: login and password for the default sync server, shown in
// clear, stored scrambled in the HotSync user's section.
class CPropIdentifica final : public CConfigPage {
 public:
  void SetUser(const std::string& user);
  void Save() override;  // only once loaded (m_shouldSave)
  void OnCancel() override { m_shouldSave = false; }
  // The wizard's Back and Next steps.
  void WizardBack() { m_shouldSave = false; }
  void WizardNext() { m_shouldSave = true; }

  void EditLogin(const std::string& text);
  void EditPassword(const std::string& text);
  // "Usuário do Hotsync: %s" with the user (UTF-8).
  std::string UserCaption() const;
  // The two buttons open the register and forgotten-password pages.
  CStaticLink m_register;
  CStaticLink m_forgot;

  std::string m_user;
  std::string m_login;
  std::string m_password;
  bool m_shouldSave = false;

 protected:
  void Load() override;
};

// Schedule: the action of the next HotSync and of the ones after it
// (1 update the modules, 0 do nothing), per HotSync user.
class CPropGeral final : public CConfigPage {
 public:
  void SetUser(const std::string& user);
  void Save() override;
  void SetNext(bool update);
  void SetDefault(bool update);

  std::string m_user;
  int32_t m_next = 1;
  int32_t m_default = 1;

 protected:
  void Load() override;
};

// Connection: the request time limit and the proxy, global.
class CPropComm final : public CConfigPage {
 public:
  static constexpr int32_t kTimeoutMin = 15;
  static constexpr int32_t kTimeoutMax = 300;
  static constexpr int32_t kTimeoutStep = 15;
  static constexpr int32_t kPortMax = 100000;

  bool OnKillActive() override;
  void Save() override;

  // The slider was released at `position`: clamp, snap to a multiple of 15
  // (7 rounds down, 8 up) and put the limit into words.
  void ReleaseSlider(int32_t position);
  void SetUseProxy(bool on);
  void SetUseAuth(bool on);
  void EditProxyHost(const std::string& text);
  void EditProxyPort(const std::string& text);  // checked when the page is left or saved
  void EditProxyUser(const std::string& text);
  void EditProxyPassword(const std::string& text);
  void EditDomain(const std::string& text);  // does not mark the page modified

  // Host and port are usable only with the proxy box ticked; user, password
  // and domain only with the authentication box (which is always usable).
  bool ProxyFieldsEnabled() const { return m_useProxy != 0; }
  bool AuthFieldsEnabled() const { return m_useAuth != 0; }
  const std::string& PortText() const { return m_portText; }

  std::string m_proxyHost;
  int32_t m_proxyPort = 0;
  std::string m_proxyPassword;
  int32_t m_timeout = 0;
  int32_t m_useAuth = 0;
  int32_t m_useProxy = 0;
  std::string m_proxyUser;
  std::string m_timeoutText;  // UTF-8
  std::string m_domain;

 protected:
  void Load() override;

 private:
  bool TakePort();
  std::string m_portText;
};

namespace tarvo::ui {

// A time limit snapped to the slider: within 15..300, a multiple of 15.
int32_t RoundTimeout(int32_t seconds);
// The time limit in words: "1 minuto", "2 minutos e 15 segundos", "45 segundos" (UTF-8).
std::string TimeoutText(int32_t seconds);
// A port typed into the connection page: a whole number in 0..100000.
std::optional<int32_t> ParsePort(const std::string& text);
// The message shown when the port is refused (UTF-8).
std::string PortErrorText();

}  // namespace tarvo::ui
