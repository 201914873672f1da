// The list command: tells the server which of its modules the handheld
// holds, and spreads the server's share of the bar over the commands the
// answer queues.
#include <algorithm>

#include "engine/tarvo_conduit.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

void CTarvoConduit::RunCommandListModules(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunCommandListModules(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  std::string request = "cmd=list&";
  if (!m_device_id.empty()) request += "device_id=" + m_device_id + "&";
  request += PackDBList(ActualServer);
  request += "&" + m_credentials;

  // The answer always goes to the server of the conversation.
  (void)GetAttribute(cmd, "url", SyncSrv);

  m_dlgprg->m_task = RCString(tarvo::res::kLookingForUpdates).str();
  m_dlgprg->m_status.clear();
  m_dlgprg->Refresh();

  ParseResponse(GetPage(SyncSrv, request));

  // Each queued command and the rest of the conversation get an equal
  // share of what is left of the server's slice, so the bar never leaves it.
  if (!m_commands.empty()) {
    const int64_t slice = std::max<int64_t>(0, int64_t{m_dlgprg->m_rangemax} - m_dlgprg->m_rangemin);
    m_cmdStep = static_cast<int32_t>(slice / (static_cast<int64_t>(m_commands.size()) + 1));
  }
}
