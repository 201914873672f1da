// The conduit manager: four-character codes and the registration store.
#include "hotsync/condmgr.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <optional>

#include "hotsync/host.h"
#include "pdb/four_cc.h"

#include "registration_store.h"
#include "session.h"

using hotsync::detail::Registrations;

namespace {

bool validCreator(const char* creator) { return creator != nullptr && std::strlen(creator) == 4; }

// Serialises load-change-save between processes (two registrations at once
// would otherwise lose one's changes).
class StoreLock {
 public:
  StoreLock() {
    fd_ = ::open((hotsync::dataDir() / "conduits.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) release();
  }
  ~StoreLock() { release(); }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  void release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

// The open update of this process, guarded by the session mutex.
struct Update {
  std::unique_ptr<StoreLock> lock;
  hotsync::detail::Registrations copy;
};
std::optional<Update> g_update;

// Changes the open update's copy, or loads, changes and saves the store.
template <typename Change>
int32_t changeStore(const char* creator, Change&& change) noexcept {
  if (!validCreator(creator)) return ERR_INVALID_CREATOR;
  try {
    std::lock_guard lock(hotsync::detail::session().mutex);
    if (g_update) return change(g_update->copy, std::string(creator));
    StoreLock storeLock;
    if (!storeLock.held()) return ERR_REGISTRY_ACCESS;
    auto all = hotsync::detail::loadRegistrations();
    if (!all) return ERR_REGISTRY_ACCESS;
    const int32_t status = change(*all, std::string(creator));
    if (status != 0) return status;
    return hotsync::detail::saveRegistrations(*all) ? 0 : ERR_REGISTRY_ACCESS;
  } catch (...) {
    return ERR_CONDUIT_MGR;
  }
}

int32_t setValue(const char* creator, const char* key, const std::string& value) {
  return changeStore(creator, [&](Registrations& all, const std::string& c) {
    const auto it = all.find(c);
    if (it == all.end()) return ERR_NO_CONDUIT;
    it->second[key] = value;
    return 0;
  });
}

int32_t setText(const char* creator, const char* key, const char* text) {
  return setValue(creator, key, text == nullptr ? "" : text);
}

}  // namespace

HOTSYNC_API int32_t CmConvertStringToCreatorID(const char* text, uint32_t* code) {
  if (!validCreator(text) || code == nullptr) return ERR_INVALID_CREATOR;
  *code = pdb::fourCC(text);
  return 0;
}

HOTSYNC_API int32_t CmConvertCreatorIDToString(uint32_t code, char* text, int32_t* size) {
  if (text == nullptr || size == nullptr) return ERR_INVALID_CREATOR;
  if (*size < 5) {
    *size = 5;
    return ERR_INVALID_CREATOR;
  }
  const std::string chars = pdb::fourCCText(code);
  std::memset(text, 0, 5);
  std::memcpy(text, chars.data(), chars.size());
  *size = 5;
  return 0;
}

HOTSYNC_API int32_t CmInstallCreator(const char* creator, int32_t type) {
  return changeStore(creator, [&](Registrations& all, const std::string& c) {
    all[c] = {{"type", std::to_string(type)}};
    return 0;
  });
}

HOTSYNC_API int32_t CmSetCreatorModule(const char* creator, const char* path) {
  return setText(creator, "module", path);
}
HOTSYNC_API int32_t CmSetCreatorDirectory(const char* creator, const char* text) {
  return setText(creator, "directory", text);
}
HOTSYNC_API int32_t CmSetCreatorName(const char* creator, const char* text) { return setText(creator, "name", text); }
HOTSYNC_API int32_t CmSetCreatorFile(const char* creator, const char* text) { return setText(creator, "file", text); }
HOTSYNC_API int32_t CmSetCreatorRemote(const char* creator, const char* text) {
  return setText(creator, "remote", text);
}
HOTSYNC_API int32_t CmSetCreatorTitle(const char* creator, const char* text) { return setText(creator, "title", text); }
HOTSYNC_API int32_t CmSetCreatorPriority(const char* creator, int32_t value) {
  return setValue(creator, "priority", std::to_string(value));
}

HOTSYNC_API int32_t CmSetCreatorRunAlways(const char* creator, int32_t value) {
  return setValue(creator, "always", std::to_string(value));
}

HOTSYNC_API int32_t CmRemoveConduitByCreatorID(const char* creator) {
  return changeStore(creator,
                     [&](Registrations& all, const std::string& c) { return all.erase(c) == 1 ? 0 : ERR_NO_CONDUIT; });
}

HOTSYNC_API int32_t CmBeginUpdate() {
  try {
    std::lock_guard lock(hotsync::detail::session().mutex);
    if (g_update) return ERR_CONDUIT_MGR;
    auto storeLock = std::make_unique<StoreLock>();
    if (!storeLock->held()) return ERR_REGISTRY_ACCESS;
    auto all = hotsync::detail::loadRegistrations();
    if (!all) return ERR_REGISTRY_ACCESS;
    g_update = Update{std::move(storeLock), std::move(*all)};
    return 0;
  } catch (...) {
    return ERR_CONDUIT_MGR;
  }
}

HOTSYNC_API int32_t CmEndUpdate() {
  try {
    std::lock_guard lock(hotsync::detail::session().mutex);
    if (!g_update) return ERR_CONDUIT_MGR;
    const bool saved = hotsync::detail::saveRegistrations(g_update->copy);
    g_update.reset();
    return saved ? 0 : ERR_REGISTRY_ACCESS;
  } catch (...) {
    g_update.reset();
    return ERR_CONDUIT_MGR;
  }
}

namespace hotsync {

bool registrationText(const std::string& creator, const std::string& key, std::string* value) {
  try {
    std::lock_guard lock(detail::session().mutex);
    const auto all = g_update ? std::optional(g_update->copy) : detail::loadRegistrations();
    if (!all) return false;
    const auto reg = all->find(creator);
    if (reg == all->end()) return false;
    const auto it = reg->second.find(key);
    if (it == reg->second.end()) return false;
    if (value) *value = it->second;
    return true;
  } catch (...) {
    return false;
  }
}

bool allRegistrations(std::map<std::string, std::map<std::string, std::string>>* out) {
  try {
    std::lock_guard lock(detail::session().mutex);
    auto all = g_update ? std::optional(g_update->copy) : detail::loadRegistrations();
    if (!all) return false;
    *out = std::move(*all);
    return true;
  } catch (...) {
    return false;
  }
}

bool registrationInt(const std::string& creator, const std::string& key, int32_t* value) {
  std::string text;
  if (!registrationText(creator, key, &text)) return false;
  int32_t parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (value) *value = parsed;
  return true;
}

}  // namespace hotsync
