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
  const std::string path = DownloadToTemp(url, RCString(tarvo::res::kTransferringConduit).str());
  if (path.empty()) return;

  const uint16_t checksum = tarvo::engine::ConduitFileChecksum(path);
  // The default can never equal a 16-bit checksum: without CRC nothing starts.
  const int32_t expected = tarvo::engine::LeadingInt32(GetAttribute(cmd, "CRC", "1000000"));
  TarvoTrace("Conduit file checksum %u, expected %d.", static_cast<unsigned>(checksum), expected);
  if (expected != checksum) return;
  // The installer may still be reading the file after the HotSync: it stays.
  std::erase(m_downloads, path);
  tarvo::engine::ShellOpen(path);
}
