// The conduit command: downloads a new conduit installer and starts it, but
// only when its checksum is the one the server announced.
#include "engine/commands/command_values.h"
#include "engine/commands/conduit_checksum.h"
#include "engine/shell_open.h"
#include "engine/tarvo_conduit.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

void CTarvoConduit::RunCommandConduit(std::string cmd) {
  TarvoTrace("CTarvoConduit::RunCommandConduit(CString cmd)");
  const std::string url = GetAttribute(cmd, "url", "");
  const std::string path = tarvo::engine::DownloadPath(m_tempPath, url);
  if (path.empty()) {
    TarvoTrace("File from \"%s\" not saved: no safe name.", url.c_str());
    return;
  }

  m_dlgprg->m_task = RCString(tarvo::res::kTransferringConduit).str();
  m_dlgprg->m_status.clear();
  m_dlgprg->Refresh();

  GetPage(url, "");
  if (!SaveLastPage(path) || m_dlgprg->m_cancel) {
    TarvoTrace("File: \"%s\" not saved.", path.c_str());
    return;
  }

  const uint16_t checksum = tarvo::engine::ConduitFileChecksum(path);
  // The default can never equal a 16-bit checksum: without CRC nothing starts.
  const int32_t expected = tarvo::engine::LeadingInt32(GetAttribute(cmd, "CRC", "1000000"));
  TarvoTrace("Conduit file checksum %u, expected %d.", static_cast<unsigned>(checksum), expected);
  if (expected != checksum) return;
  tarvo::engine::ShellOpen(path);
}
