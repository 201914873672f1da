// The self-registration exports a registration tool calls
// (tarvo-hotsync register / unregister).
#include <cstdint>

#include "conduit/conduit_export.h"
#include "setup/self_registration.h"

namespace {
constexpr int32_t kSelfRegFailed = static_cast<int32_t>(0x80004005u);
constexpr int32_t kClassNotAvailable = static_cast<int32_t>(0x80040111u);  // CLASS_E_CLASSNOTAVAILABLE
constexpr int32_t kSOk = 0;
}  // namespace

TARVO_EXPORT int32_t DllRegisterServer() {
  try {
    const std::string path = tarvo::setup::loadedLibraryPath();
    if (path.empty()) return kSelfRegFailed;
    return tarvo::setup::selfRegister(tarvo::setup::platformConduitManager(), tarvo::setup::platformSyncHost(), path);
  } catch (...) {
    return kSelfRegFailed;
  }
}

TARVO_EXPORT int32_t DllUnregisterServer() {
  try {
    return tarvo::setup::selfUnregister(tarvo::setup::platformConduitManager(), tarvo::setup::platformSyncHost());
  } catch (...) {
    return kSelfRegFailed;
  }
}

// No COM objects exist here, so the library can always go.
TARVO_EXPORT int32_t DllCanUnloadNow() { return kSOk; }

// There are no classes to hand out.
TARVO_EXPORT int32_t DllGetClassObject(const void* /*clsid*/, const void* /*iid*/, void** out) {
  if (out != nullptr) *out = nullptr;
  return kClassNotAvailable;
}
