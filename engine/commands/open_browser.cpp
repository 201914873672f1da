// The openbrowser command: shows a web page of the server's choice in the
// user's browser. Only web addresses are opened; anything else (a local
// file, a launcher a pput has just downloaded) could run code on the desktop.
#include "engine/shell_open.h"
#include "engine/tarvo_conduit.h"
#include "resources/text_codec.h"
#include "resources/trace.h"

void CTarvoConduit::RunCommandOpenBrowser(std::string cmd, std::string, CTarvoServer) {
  TarvoTrace("CTarvoConduit::RunCommandOpenBrowser(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  const std::string url = GetAttribute(cmd, "url", "");
  if (!tarvo::engine::IsWebAddress(url)) {
    TarvoTrace("Not a web address, not opened: \"%s\"", url.c_str());
    return;
  }
  tarvo::engine::ShellOpen(tarvo::Cp1252ToUtf8(url));
}
