// The HotSync entry: one call runs one whole sync.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "conduit/conduit_export.h"
#include "conduit/front_end.h"
#include "engine/tarvo_conduit.h"
#include "handheld/palm_sync.h"
#include "hotsync/conduit_api.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "hotsync/net.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

namespace {

// While the sync runs, the HotSync thread's yields let the progress dialog
// see a Cancel press.
class ProgressPumpScope {
 public:
  ProgressPumpScope() {
    // A lambda rather than the function's address: a function pointer in a
    // std::function would make the C++ runtime export its type information.
    hotsync::setYieldPump([] { ProgressPump(); });
  }
  ~ProgressPumpScope() { hotsync::setYieldPump({}); }
  ProgressPumpScope(const ProgressPumpScope&) = delete;
  ProgressPumpScope& operator=(const ProgressPumpScope&) = delete;
};

// Runs the engine; any exception it lets out ends here. True when it ran to
// its end.
bool RunEngine(const CSyncProperties& props) {
  try {
    FrontEndScope frontEnd;
    ProgressPumpScope pump;
    auto engine = std::make_unique<CTarvoConduit>();
    engine->m_installTarget.assign(props.m_UserName, strnlen(props.m_UserName, sizeof props.m_UserName));
    engine->Engage();
    engine.reset();
    return true;
  } catch (...) {
    DebugOutput("OpenConduit: exception caught while running the engine.\n");
    return false;
  }
}

// Releases the registration and the handheld access object.
void ReleaseHandheld(uint32_t& handle) {
  if (CMobileDeviceSync* device = g_pMobileDeviceSync) {
    try {
      device->UnregisterConduit(handle);
    } catch (...) {
    }
    g_pMobileDeviceSync = nullptr;
    delete device;
  }
}

}  // namespace

TARVO_EXPORT int32_t OpenConduit(PROGRESSFN pFn, CSyncProperties& rProps) {
  if (!pFn) return -1;
  int32_t result = -1;
  uint32_t handle = 0;
  try {
    TarvoTrace("OpenConduit(PROGRESSFN pFn, CSyncProperties& rProps)");
    if (!g_pMobileDeviceSync) g_pMobileDeviceSync = new CPalmSync();
    const int32_t status = g_pMobileDeviceSync->RegisterConduit(handle);
    if (status != 0) {
      // Nothing to unregister; the access object holds no state, so it goes
      // now rather than leak when the library is unloaded.
      delete g_pMobileDeviceSync;
      g_pMobileDeviceSync = nullptr;
      return status;
    }

    uint32_t flags = 0;
    if (!InternetGetConnectedState(&flags, 0)) {
      LogAddEntry(RCString(tarvo::res::kOffline).c_str(), slText, 0);
      g_pMobileDeviceSync->AddLogEntry(RCString(tarvo::res::kOffline).c_str());
      result = 0;
    } else {
      pFn(RCString(tarvo::res::kSyncTitle).c_str());
      LogAddEntry("", slSyncStarted, 0);
      result = RunEngine(rProps) ? 1 : 0;
      LogAddEntry("Tarvo", slSyncFinished, 0);
    }
  } catch (...) {
    // Nothing may cross the library's edge; the sync counts as not run.
    DebugOutput("OpenConduit: exception caught.\n");
    result = 0;
  }
  try {
    ReleaseHandheld(handle);
  } catch (...) {
  }
  return result;
}
