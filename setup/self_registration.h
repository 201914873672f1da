// What the conduit's self-registration exports do: stop the HotSync host,
// replace the registrations, start the host again so it reads them.
#pragma once

#include <cstdint>
#include <string>

#include "setup/conduit_registration.h"
#include "setup/sync_host.h"

namespace tarvo::setup {

// Success, and the failure when the host did not quit (the registration is
// written all the same and takes effect when the host next starts).
inline constexpr int32_t kSelfRegOk = 0;
inline constexpr int32_t kSelfRegHostDidNotQuit = static_cast<int32_t>(0x80004005u);  // E_FAIL
inline constexpr int32_t kSelfRegStoreFailed = static_cast<int32_t>(0x80040201u);

// Close, remove "sync" and "Tarv", write the registration of `libraryPath`,
// start. Removal and registration are one update of the store: a failing
// step keeps the values written before it, a crash keeps the old store.
int32_t selfRegister(ConduitManager& manager, SyncHost& host, const std::string& libraryPath);
// Close, remove "sync" and "Tarv", start.
int32_t selfUnregister(ConduitManager& manager, SyncHost& host);

// The file this code was loaded from (the conduit library), absolute.
std::string loadedLibraryPath();

}  // namespace tarvo::setup
