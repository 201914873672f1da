// The library's process-wide state, guarded by one mutex. The yield pump is
// never run with the mutex held.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hotsync/host.h"

#include "device.h"

namespace hotsync::detail {

struct Session {
  std::mutex mutex;
  std::unique_ptr<Device> handheld;
  std::string linkLost;     // why the last network handheld went, when it went early
  std::string currentUser;  // UTF-8
  std::vector<std::string> connectWarnings;
  std::function<void()> yieldPump;
  std::thread::id hotsyncThread;
  std::set<uint32_t> conduits;
  uint32_t lastConduit = 0;
  std::atomic<uint64_t> yields{0};
  std::atomic<int> onlineOverride{-1};
  std::atomic<int> lastConnectionCheck{-1};
  std::vector<LogEntry> logEntries;  // since the host last took them
  bool flushEachClose = false;
  std::string keptLogUser;  // whose copy of the handheld's log this process writes
};

Session& session();
// Adds an entry the handheld's log got to the copy kept for the current user.
void keepHandheldLogEntry(Session& s, const std::string& utf8Text);
// Makes `device` the connected handheld and its user the current user;
// `lock` holds the session's mutex and is released.
void attachDevice(std::unique_ptr<Device> device, std::unique_lock<std::mutex>& lock);

}  // namespace hotsync::detail
