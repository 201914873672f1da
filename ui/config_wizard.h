// The first-run wizard "Tarvo": HotSync user, identification, schedule,
// connection and a final page. At Finish the settings of the chosen user are
// saved in one go and the product's handheld application (and its
// preferences database, when present) are queued for that user's next
// HotSync; the final page can start the wizard again for another user.
// Toolkit-free: a front end shows one modal run and reports the clicks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/config_pages.h"
#include "ui/static_link.h"

// The result of a modal run that ended with Finish.
inline constexpr int ID_WIZFINISH = 0x3025;

// The files the wizard queues, in the product's data folder.
inline constexpr const char* kHandheldApplicationFile = "tarvo.prc";
inline constexpr const char* kHandheldPreferencesFile = "tarvoprefs.pdb";

// Page 1: the HotSync users, sorted, the first one selected.
class CPropUsuario {
 public:
  // Reads the HotSync users from the install aide (each time the page's
  // window is made, so at every run).
  void OnInitDialog();
  // The selected user's name (Windows-1252); empty when there is none.
  std::string Selected() const;
  void Select(std::size_t index) { m_selected = index; }

  std::vector<std::string> m_users;  // Windows-1252, sorted
  std::size_t m_selected = 0;
};

// Page 5: links to the web site and "configure another user".
class CPropFinal {
 public:
  void OnSetActive();

  CStaticLink m_linkTerms;
  CStaticLink m_linkSite;
  CStaticLink m_linkFaq;
  int32_t m_another = 0;
};

class CConfigWizard {
 public:
  enum PageIndex : std::size_t { kUser, kIdentification, kSchedule, kConnection, kFinal, kPageCount };

  CConfigWizard();
  ~CConfigWizard();
  CConfigWizard(const CConfigWizard&) = delete;
  CConfigWizard& operator=(const CConfigWizard&) = delete;

  void SetUser(const std::string& user);

  // Runs the wizard: `showRun` shows one modal run (from Begin() until
  // Ended()); after a Finish the settings are saved and the files queued,
  // and a ticked "another user" box runs it again. Cancel ends the loop.
  void Run(const std::function<void(CConfigWizard&)>& showRun);

  // --- one modal run (what a front end calls) ---------------------------
  // The windows are made again: the user list is read again, the pages
  // load again when shown; members not loaded keep their values.
  void Begin();
  // False (with Message() for a missing user, or the page's validation
  // error) when the current page cannot be left.
  bool Next();
  void Back();
  // Only on the final page.
  bool Finish();
  void Cancel();
  void SetAnother(bool another) { m_pFinal->m_another = another ? 1 : 0; }

  std::size_t Current() const { return m_current; }
  bool Ended() const { return m_result != 0; }
  int Result() const { return m_result; }
  // A message box the front end shows (UTF-8); cleared by the next click.
  const std::string& Message() const { return m_message; }
  // Button texts (UTF-8, with the '&' of the access key).
  bool BackEnabled() const { return m_current != kUser; }
  std::string FinishText() const;  // "&Novo" when another user follows, else "&Terminar"
  static const char* PageTitle(std::size_t index);

  std::unique_ptr<CPropUsuario> m_pUsuario;
  std::unique_ptr<CPropIdentifica> m_pIdentifica;
  std::unique_ptr<CPropGeral> m_pGeral;
  std::unique_ptr<CPropComm> m_pComm;
  std::unique_ptr<CPropFinal> m_pFinal;

  // Where the handheld files are; the current folder when empty.
  std::filesystem::path m_dataDir;

 private:
  void Activate(std::size_t index);
  void SaveAndQueue();

  std::size_t m_current = kUser;
  int m_result = 0;
  std::string m_message;
};

namespace tarvo::ui {

// The install aide's users in its own order (Windows-1252).
std::vector<std::string> HotSyncUsers();
// "/installall" anywhere in the command line, in any case.
bool WantsInstallAll(const char* commandLine);
// Queues the application file of `dataDir` for every HotSync user, in the
// install aide's order; the preferences database is not queued. Returns
// how many users it was queued for.
int InstallForAllUsers(const std::filesystem::path& dataDir);

}  // namespace tarvo::ui
