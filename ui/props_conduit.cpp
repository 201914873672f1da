#include "ui/props_conduit.h"

#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui/login_dialog_model.h"

CPropsConduit::CPropsConduit()
    : m_pGeral(std::make_unique<CPropGeral>()),
      m_pComm(std::make_unique<CPropComm>()),
      m_pIdentifica(std::make_unique<CPropIdentifica>()) {}

CPropsConduit::~CPropsConduit() = default;

void CPropsConduit::SetUser(const std::string& user) {
  m_pGeral->SetUser(user);
  m_pIdentifica->SetUser(user);
}

void CPropsConduit::GetActions(int32_t& next, int32_t& def) const {
  if (m_pGeral->Loaded()) {
    next = m_pGeral->m_next;
    def = m_pGeral->m_default;
    return;
  }
  const tarvo::SettingsStore store = tarvo::AppSettings();
  namespace keys = tarvo::settings;
  next = store.ReadInt(m_pGeral->m_user, keys::kProximo, keys::kActionDefault);
  def = store.ReadInt(m_pGeral->m_user, keys::kPadrao, keys::kActionDefault);
}

CConfigPage& CPropsConduit::Page(std::size_t index) const {
  switch (index) {
    case 0:
      return *m_pIdentifica;
    case 1:
      return *m_pGeral;
    default:
      return *m_pComm;
  }
}

const char* CPropsConduit::PageTitle(std::size_t index) {
  static const char* const kTitles[kPageCount] = {"Identificação", "Agenda", "Conexão"};
  return index < kPageCount ? kTitles[index] : "";
}

void CPropsConduit::OnInitDialog() {
  m_current = 0;
  m_result = 0;
  Page(0).OnSetActive();
}

bool CPropsConduit::SelectPage(std::size_t index) {
  if (index >= kPageCount || Ended()) return false;
  if (index == m_current) return true;
  if (!Page(m_current).OnKillActive()) return false;
  m_current = index;
  Page(m_current).OnSetActive();
  return true;
}

bool CPropsConduit::Apply() {
  if (Ended() || !Page(m_current).OnKillActive()) return false;
  for (std::size_t i = 0; i < kPageCount; ++i) Page(i).OnOK();
  return true;
}

bool CPropsConduit::OK() {
  if (!Apply()) return false;
  m_result = IDOK;
  return true;
}

void CPropsConduit::Cancel() {
  if (Ended()) return;
  for (std::size_t i = 0; i < kPageCount; ++i) Page(i).OnCancel();
  m_result = IDCANCEL;
}

bool CPropsConduit::ApplyEnabled() const {
  for (std::size_t i = 0; i < kPageCount; ++i)
    if (Page(i).Loaded() && Page(i).Modified()) return true;
  return false;
}
