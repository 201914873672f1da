#include "ui/config_wizard.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "handheld/platform_services.h"
#include "http/url_site.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/login_dialog_model.h"

namespace {

// The host part of an address: what the final page shows for the web site.
std::string HostOf(const std::string& url) {
  std::size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  return url.substr(start, url.find('/', start) - start);
}

// Queues one file; the install aide's answer is traced, not shown: the host
// reports what reached each queue.
int32_t Queue(const std::string& user, const std::filesystem::path& file) {
  const int32_t status = tarvo::handheld::QueueInstall(user, file.c_str());
  if (status != 0) TarvoTrace("Wizard: queueing %s for %s failed (%d)", file.c_str(), user.c_str(), status);
  return status;
}

}  // namespace

// --- pages of their own --------------------------------------------------

void CPropUsuario::OnInitDialog() {
  TarvoTrace("CPropUsuario::OnInitDialog()");
  m_users = tarvo::ui::HotSyncUsers();
  std::sort(m_users.begin(), m_users.end());
  m_selected = 0;
}

std::string CPropUsuario::Selected() const { return m_selected < m_users.size() ? m_users[m_selected] : ""; }

void CPropFinal::OnSetActive() {
  m_linkSite.SetLinkUrl(TarvoUrl("default.asp", "").m_fullUrl);
  m_linkSite.m_text = HostOf(m_linkSite.m_url);
  m_linkFaq.SetLinkUrl(TarvoUrl("tar_interna.asp", "pagina=faq").m_fullUrl);
  m_linkFaq.m_text = "FAQ";
  m_linkTerms.SetLinkUrl(TarvoUrl("tar_interna.asp", "pagina=termos").m_fullUrl);
  m_linkTerms.m_text = "Termo de Uso";
}

// --- CConfigWizard -------------------------------------------------------

CConfigWizard::CConfigWizard()
    : m_pUsuario(std::make_unique<CPropUsuario>()),
      m_pIdentifica(std::make_unique<CPropIdentifica>()),
      m_pGeral(std::make_unique<CPropGeral>()),
      m_pComm(std::make_unique<CPropComm>()),
      m_pFinal(std::make_unique<CPropFinal>()) {}

CConfigWizard::~CConfigWizard() = default;

void CConfigWizard::SetUser(const std::string& user) {
  m_pIdentifica->SetUser(user);
  m_pGeral->SetUser(user);
}

const char* CConfigWizard::PageTitle(std::size_t index) {
  static const char* const kTitles[kPageCount] = {"Usuário ", "Identificação", "Agenda", "Conexão",
                                                  "Configuração concluída"};
  return index < kPageCount ? kTitles[index] : "";
}

std::string CConfigWizard::FinishText() const {
  return RCString(m_pFinal->m_another != 0 ? tarvo::res::kButtonNew : tarvo::res::kButtonFinish).utf8();
}

void CConfigWizard::Begin() {
  m_result = 0;
  m_message.clear();
  m_pIdentifica->Reset();
  m_pIdentifica->WizardBack();
  m_pGeral->Reset();
  m_pComm->Reset();
  m_pUsuario->OnInitDialog();
  m_current = kUser;
}

void CConfigWizard::Activate(std::size_t index) {
  m_current = index;
  switch (index) {
    case kIdentification:
      return m_pIdentifica->OnSetActive();
    case kSchedule:
      return m_pGeral->OnSetActive();
    case kConnection:
      return m_pComm->OnSetActive();
    case kFinal:
      return m_pFinal->OnSetActive();
    default:
      return;
  }
}

bool CConfigWizard::Next() {
  m_message.clear();
  if (Ended() || m_current >= kFinal) return false;
  switch (m_current) {
    case kUser: {
      const std::string user = m_pUsuario->Selected();
      if (user.empty()) {
        m_message = RCString(tarvo::res::kChooseUser).utf8();
        return false;
      }
      SetUser(user);
      break;
    }
    case kIdentification:
      m_pIdentifica->OnKillActive();
      m_pIdentifica->WizardNext();
      break;
    case kConnection:
      if (!m_pComm->OnKillActive()) {
        m_message = m_pComm->ValidationError();
        return false;
      }
      break;
    default:
      break;
  }
  Activate(m_current + 1);
  return true;
}

void CConfigWizard::Back() {
  m_message.clear();
  if (Ended() || m_current == kUser) return;
  if (m_current == kIdentification) m_pIdentifica->WizardBack();
  Activate(m_current - 1);
}

bool CConfigWizard::Finish() {
  m_message.clear();
  if (Ended() || m_current != kFinal) return false;
  m_result = ID_WIZFINISH;
  return true;
}

void CConfigWizard::Cancel() {
  if (Ended()) return;
  m_pIdentifica->OnCancel();
  m_result = IDCANCEL;
}

void CConfigWizard::Run(const std::function<void(CConfigWizard&)>& showRun) {
  bool again = true;
  while (again) {
    again = false;
    Begin();
    showRun(*this);
    if (m_result != ID_WIZFINISH) break;
    SaveAndQueue();
    again = m_pFinal->m_another != 0;
  }
}

void CConfigWizard::SaveAndQueue() {
  const std::string user = m_pGeral->m_user;
  m_pIdentifica->Save();
  m_pGeral->Save();
  m_pComm->Save();
  Queue(user, m_dataDir / kHandheldApplicationFile);
  std::error_code ec;
  if (std::filesystem::is_regular_file(m_dataDir / kHandheldPreferencesFile, ec))
    Queue(user, m_dataDir / kHandheldPreferencesFile);
}

// --- helpers -------------------------------------------------------------

std::vector<std::string> tarvo::ui::HotSyncUsers() { return tarvo::handheld::HotSyncUsers(); }

bool tarvo::ui::WantsInstallAll(const char* commandLine) {
  std::string text = commandLine != nullptr ? commandLine : "";
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.find("/installall") != std::string::npos;
}

int tarvo::ui::InstallForAllUsers(const std::filesystem::path& dataDir) {
  int queued = 0;
  for (const std::string& user : HotSyncUsers())
    if (Queue(user, dataDir / kHandheldApplicationFile) == 0) ++queued;
  return queued;
}
