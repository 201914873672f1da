// The logmessage command: a line from the server for the handheld's log,
// the desktop HotSync log, or both (the handheld's first).
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "handheld/platform_services.h"
#include "resources/trace.h"

void CTarvoConduit::RunCommandLogMessage(std::string cmd, CTarvoServer) {
  TarvoTrace("CTarvoConduit::RunCommandLogMessage(CString cmd, CTarvoServer ActualServer)");
  const bool handheld = GetAttribute(cmd, "handheld", "0") == "1";
  const bool desktop = GetAttribute(cmd, "desktop", "0") == "1";
  const std::string message = GetAttribute(cmd, "message", "");
  if (handheld) g_pMobileDeviceSync->AddLogEntry(message.c_str());
  if (desktop) tarvo::handheld::AddDesktopLogEntry(message.c_str());
}
