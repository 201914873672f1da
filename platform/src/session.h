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

#include "handheld.h"

namespace hotsync::detail {

struct Session {
  std::mutex mutex;
  std::unique_ptr<Handheld> handheld;
  std::string currentUser;  // UTF-8
  std::vector<std::string> connectWarnings;
  std::function<void()> yieldPump;
  std::thread::id hotsyncThread;
  std::set<uint32_t> conduits;
  uint32_t lastConduit = 0;
  std::atomic<uint64_t> yields{0};
  std::atomic<int> onlineOverride{-1};
  bool flushEachClose = false;
};

Session& session();

}  // namespace hotsync::detail
