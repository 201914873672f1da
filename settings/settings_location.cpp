// Where the process's settings live, and the override the application object
// (or a test) sets.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "settings/settings_store.h"

namespace tarvo {

namespace {

std::mutex g_mutex;
std::filesystem::path g_override;

std::filesystem::path HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

}  // namespace

std::filesystem::path DefaultSettingsFile() {
  // A relative XDG_CONFIG_HOME is invalid and must be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base = config && *config == '/' ? std::filesystem::path(config) : HomeFolder() / ".config";
  return base / "tarvo" / "settings.sqlite";
}

SettingsStore AppSettings() {
  std::lock_guard lock(g_mutex);
  return SettingsStore(g_override.empty() ? DefaultSettingsFile() : g_override);
}

void SetSettingsFile(const std::filesystem::path& file) {
  std::lock_guard lock(g_mutex);
  g_override = file;
}

}  // namespace tarvo
