#include "setup/self_registration.h"

#include <dlfcn.h>

#include <filesystem>

namespace tarvo::setup {
namespace {

// The store update around `change`; its result is the update's.
template <typename Change>
bool inOneUpdate(ConduitManager& manager, Change&& change) {
  if (manager.beginUpdate() < 0) return false;
  change();
  return manager.endUpdate() >= 0;
}

int32_t result(bool closed, bool stored) {
  if (!stored) return kSelfRegStoreFailed;
  return closed ? kSelfRegOk : kSelfRegHostDidNotQuit;
}

}  // namespace

int32_t selfRegister(ConduitManager& manager, SyncHost& host, const std::string& libraryPath) {
  const bool closed = closeSyncHost(host);
  const bool stored = inOneUpdate(manager, [&] {
    removeRegistrations(manager);
    // A failing step ends the registration; the host learns of it by the
    // values that are missing, as with the original conduit manager.
    registerConduit(manager, libraryPath);
  });
  host.start();
  return result(closed, stored);
}

int32_t selfUnregister(ConduitManager& manager, SyncHost& host) {
  const bool closed = closeSyncHost(host);
  const bool stored = inOneUpdate(manager, [&] { removeRegistrations(manager); });
  host.start();
  return result(closed, stored);
}

std::string loadedLibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&loadedLibraryPath), &info) == 0 || info.dli_fname == nullptr) return {};
  // Absolute, but through the name it was loaded by: the registration of
  // libtarvoconduit.so.1 survives an update that replaces the file behind it.
  std::error_code ec;
  const auto path = std::filesystem::absolute(info.dli_fname, ec);
  return ec ? std::string(info.dli_fname) : path.lexically_normal().string();
}

}  // namespace tarvo::setup
