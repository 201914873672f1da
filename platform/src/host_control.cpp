// The host's side of the platform: connecting a handheld, the current user,
// the event pump, the online override.
#include <system_error>
#include <utility>

#include "desktop_log.h"
#include "folder/device_config.h"
#include "folder/folder_device.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "session.h"

namespace hotsync {
using detail::session;

namespace detail {

void attachDevice(std::unique_ptr<Device> device, std::unique_lock<std::mutex>& lock) {
  auto& s = session();
  device->setFlushEachClose(s.flushEachClose);
  const std::string user = device->userName();
  s.handheld = std::move(device);
  s.linkLost.clear();
  s.conduits.clear();
  s.yields.store(0);
  lock.unlock();
  // A handheld that syncs makes its user known to the desktop, as a first
  // HotSync does. A name that cannot be a folder leaves the current user.
  std::string ignored;
  if (addUser(user, &ignored)) setCurrentUser(user);
}

}  // namespace detail

void setCurrentUser(const std::string& user) {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  s.currentUser = user;
}

std::string currentUser() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  return s.currentUser;
}

std::vector<std::string> connectWarnings() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  return s.connectWarnings;
}

bool writeHandheldConfig(const std::filesystem::path& dir, const std::string& user, const std::string& comment,
                         std::string* error) {
  detail::DeviceConfig config;
  if (!user.empty()) config.userName = user;
  config.userId = detail::userIdForName(user);
  config.osMajor = 4;
  config.osMinor = 1;
  return detail::writeDeviceConfig(dir / "device.conf", config, comment, error);
}

bool connectHandheld(const std::filesystem::path& dir, std::string* error) {
  try {
    auto& s = session();
    std::unique_lock lock(s.mutex);
    if (s.handheld) {
      if (error) *error = "a handheld is connected already: " + s.handheld->describe();
      return false;
    }
    auto handheld = detail::Handheld::connect(dir, error);
    if (!handheld) return false;
    s.connectWarnings = handheld->warnings();
    attachDevice(std::make_unique<detail::FolderDevice>(std::move(handheld)), lock);
    for (const std::string& warning : connectWarnings()) detail::appendDesktopLog(currentUser(), slText, warning);
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

void disconnectHandheld(SyncEnd end) {
  try {
    auto& s = session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) return;
    std::string error;
    // A folder: what cannot be folded now stays in the journals for the next
    // connect. A network handheld is told that the HotSync ended.
    if (!s.handheld->finish(static_cast<uint16_t>(end), &error)) s.linkLost = error;
    s.handheld.reset();
    s.conduits.clear();
  } catch (...) {
  }
}

bool handheldConnected() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  return s.handheld != nullptr;
}

std::filesystem::path handheldDir() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  return s.handheld ? s.handheld->dir() : std::filesystem::path();
}

std::string handheldLost() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  if (s.handheld) return s.handheld->lostReason();
  return s.linkLost;
}

void setFlushEachClose(bool flush) {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  s.flushEachClose = flush;
  if (s.handheld) s.handheld->setFlushEachClose(flush);
}

void setOnlineOverride(int mode) { session().onlineOverride.store(mode < 0 ? -1 : mode > 0 ? 1 : 0); }

int lastConnectionCheck() { return session().lastConnectionCheck.load(); }

std::vector<LogEntry> takeLogEntries() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  return std::exchange(s.logEntries, {});
}

void setYieldPump(std::function<void()> pump) {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  s.yieldPump = std::move(pump);
}

void setHotSyncThread() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  s.hotsyncThread = std::this_thread::get_id();
}

uint64_t yieldCount() { return session().yields.load(); }

std::vector<std::string> handheldLog() {
  auto& s = session();
  std::lock_guard lock(s.mutex);
  return s.handheld ? s.handheld->logLines() : std::vector<std::string>();
}

}  // namespace hotsync
