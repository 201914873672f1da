// Where the process's settings live, and the override the application object
// (or a test) sets.
#include <mutex>

#include "settings/settings_store.h"
#include "xdg/base_dirs.h"

namespace tarvo {

namespace {

std::mutex g_mutex;
std::filesystem::path g_override;

}  // namespace

std::filesystem::path DefaultSettingsFile() { return xdg::configHome() / "tarvo" / "settings.sqlite"; }

SettingsStore AppSettings() {
  std::lock_guard lock(g_mutex);
  return SettingsStore(g_override.empty() ? DefaultSettingsFile() : g_override);
}

void SetSettingsFile(const std::filesystem::path& file) {
  std::lock_guard lock(g_mutex);
  g_override = file;
}

}  // namespace tarvo
