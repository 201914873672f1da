// The conversation with one server: run queued commands until none is left
// or the user cancels, each dispatched by its word to its handler.
#include <string_view>

#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

namespace {

using Handler = void (*)(CTarvoConduit&, const std::string& cmd, const std::string& SyncSrv,
                         const CTarvoServer& ActualServer);

struct CommandWord {
  std::string_view word;
  Handler run;
};

// Tested in this order; the first match wins.
constexpr CommandWord kCommands[] = {
    {"pput", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                const CTarvoServer& s) { c.RunCommandPPut(cmd, srv, s); }},
    {"pdel", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                const CTarvoServer& s) { c.RunCommandPDel(cmd, srv, s); }},
    {"pget", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                const CTarvoServer& s) { c.RunCommandPGet(cmd, srv, s); }},
    {"openbrowser", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                       const CTarvoServer& s) { c.RunCommandOpenBrowser(cmd, srv, s); }},
    {"conduit", [](CTarvoConduit& c, const std::string& cmd, const std::string&,
                   const CTarvoServer&) { c.RunCommandConduit(cmd); }},
    {"login", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                 const CTarvoServer& s) { c.RunCommandLogin(cmd, srv, s); }},
    {"list", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                const CTarvoServer& s) { c.RunCommandListModules(cmd, srv, s); }},
    {"logmessage", [](CTarvoConduit& c, const std::string& cmd, const std::string&,
                      const CTarvoServer& s) { c.RunCommandLogMessage(cmd, s); }},
    {"device", [](CTarvoConduit& c, const std::string& cmd, const std::string&,
                  const CTarvoServer&) { c.RunCommandDeviceId(cmd); }},
    {"rput",
     [](CTarvoConduit& c, const std::string& cmd, const std::string&, const CTarvoServer&) { c.RunCommanRPut(cmd); }},
    {"rget", [](CTarvoConduit& c, const std::string& cmd, const std::string& srv,
                const CTarvoServer& s) { c.RunCommandRGet(cmd, srv, s); }},
    {"rdel",
     [](CTarvoConduit& c, const std::string& cmd, const std::string&, const CTarvoServer&) { c.RunCommanRDel(cmd); }},
};

}  // namespace

void CTarvoConduit::RunServer(CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunServer(CTarvoServer ActualServer)");
  m_commands.push_back("login");
  m_serverFailure = {};
  const std::string sSrvUrl = ActualServer.sUrl;
  while (!m_commands.empty() && !m_dlgprg->m_cancel) RunNextCommand(sSrvUrl, ActualServer);
  ReportServerFailure(ActualServer);
  m_dlgprg->Refresh();
}

int32_t CTarvoConduit::RunNextCommand(std::string sSrvUrl, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunNextCommand(CString sSrvUrl, CTarvoServer ActualServer)");
  g_pMobileDeviceSync->YieldCycles(1);
  if (m_commands.empty()) return 0;
  std::string cmd = std::move(m_commands.front());
  m_commands.pop_front();
  m_dlgprg->m_rangemin += m_cmdStep;
  m_dlgprg->SetStep(0, 0);
  RunCommand(std::move(cmd), std::move(sSrvUrl), std::move(ActualServer));
  return 0;
}

void CTarvoConduit::RunCommand(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunCommand(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  const std::string word = GetCommandId(cmd);
  if (m_dlgprg->m_cancel) return;
  for (const CommandWord& entry : kCommands) {
    if (entry.word == word) {
      entry.run(*this, cmd, SyncSrv, ActualServer);
      return;
    }
  }
}
