// The sync driver: discovery, the server list and one conversation per
// server, each server with its own stretch of the progress bar.
#include <algorithm>

#include "engine/tarvo_conduit.h"
#include "handheld/platform_services.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

namespace {
// Discovery fills the first fifth of the bar; the servers share the rest.
constexpr int32_t kDiscoveryShare = 20;
constexpr int32_t kServersShare = 80;
}  // namespace

bool CTarvoConduit::Engage() {
  TarvoTrace("CTarvoConduit::Engage()");
  bool result = true;
  bool cancelled = false;
  m_serverCount = 1;
  try {
    if (!Initialize()) return false;
    m_dlgprg->m_rangemin = 0;
    m_dlgprg->m_rangemax = kDiscoveryShare;
    try {
      GetModules();
      m_serverCount = GetServers();
      // A count that disagrees with the list must not divide by zero.
      const int32_t servers = std::max<int32_t>(m_serverCount, 1);
      while (!m_servers.empty() && !m_dlgprg->m_cancel) {
        m_dlgprg->m_rangemin = m_dlgprg->m_rangemax;
        m_dlgprg->m_rangemax += kServersShare / servers;
        TarvoTrace("--------m_dlgprg->m_rangemin >%d<", m_dlgprg->m_rangemin);
        TarvoTrace("--------m_dlgprg->m_rangemax >%d<", m_dlgprg->m_rangemax);
        CTarvoServer server = m_servers.front();
        m_servers.pop_front();
        RunServer(server);
      }
      cancelled = m_dlgprg->m_cancel;
      // Every server had its turn: the bar ends full, whatever the
      // commands' steps left of their slices.
      if (!cancelled) {
        m_dlgprg->m_rangemin = 0;
        m_dlgprg->m_rangemax = 100;
        m_dlgprg->SetStep(1, 1);
      }
      m_dlgprg->Refresh();
      Finalize();
    } catch (...) {
      result = false;
      cancelled = m_dlgprg && m_dlgprg->m_cancel;
      Finalize();
    }
    // The host reads this entry back to tell a cancelled HotSync from a done one.
    if (cancelled)
      tarvo::handheld::AddDesktopLogEntry(RCString(tarvo::res::kSyncCancelled).c_str(),
                                          tarvo::handheld::LogActivity::SyncAborted);
  } catch (...) {
    result = false;
  }
  return result;
}
