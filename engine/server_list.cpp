// Derives the servers to visit from the modules' tags, and which modules
// each server hears about.
#include "engine/tarvo_conduit.h"
#include "resources/trace.h"

int32_t CTarvoConduit::GetServers() {
  TarvoTrace("CTarvoConduit::GetServers()");
  m_servers.clear();

  // Named servers go to the front, so the one created last is visited
  // first; the default server always goes last.
  for (const CTarvoModule& module : m_modules) {
    const std::string url = module.GetSyncServer();
    auto found = m_servers.begin();
    while (found != m_servers.end() && found->sUrl != url) ++found;
    if (found != m_servers.end()) {
      found->sRelated += "," + module.GetRelated();
      found->bDontSave = found->bDontSave || module.IsDontSave();
      continue;
    }
    CTarvoServer server;
    server.SetUrl(url);
    server.bDontSave = module.IsDontSave();
    server.sRelated = module.GetRelated();
    server.sCaption = module.GetSyncCaption();
    if (url == DefaultSyncServerUrl()) {
      m_servers.push_back(std::move(server));
    } else {
      m_servers.push_front(std::move(server));
    }
  }

  for (const CTarvoModule& module : m_modules) {
    const std::string url = module.GetSyncServer();
    for (CTarvoServer& server : m_servers) {
      const bool ownData = server.sUrl == url && module.sDbtype == "DATA";
      const bool related = server.sRelated.find(module.sDbtype) != std::string::npos;
      const bool last = server.sUrl == m_servers.back().sUrl;
      if (ownData || related || last) {
        server.modules.push_back(module);
        break;
      }
    }
  }

  if (m_servers.size() > 1 && m_servers.back().modules.empty()) m_servers.pop_back();
  return static_cast<int32_t>(m_servers.size());
}
