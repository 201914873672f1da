// The HotSync's progress as the conduit's progress dialog shows it, passed
// on to whoever the host put in place to hear it (the HotSync manager's
// status, for one).
#include <mutex>

#include "hotsync/host.h"

namespace hotsync {
namespace {

std::mutex g_mutex;
std::function<void(int, const std::string&)> g_listener;

}  // namespace

void setProgressListener(std::function<void(int, const std::string&)> listener) {
  const std::lock_guard lock(g_mutex);
  g_listener = std::move(listener);
}

void reportProgress(int percent, const std::string& words) noexcept {
  const std::lock_guard lock(g_mutex);
  if (!g_listener) return;
  try {
    g_listener(percent, words);
  } catch (...) {
    // Hearing the progress must never stop the HotSync.
  }
}

}  // namespace hotsync
