#include "xdg/base_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace tarvo::xdg {

namespace {

// The variable's value when it is an absolute path, else empty.
std::filesystem::path absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path variableOr(const char* name, const std::filesystem::path& underHome) {
  const std::filesystem::path value = absoluteVariable(name);
  return value.empty() ? homeFolder() / underHome : value;
}

}  // namespace

std::filesystem::path homeFolder() {
  if (const std::filesystem::path home = absoluteVariable("HOME"); !home.empty()) return home;
  // Not getpwuid: it is not safe from more than one thread.
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return "/";
}

std::filesystem::path configHome() { return variableOr("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path dataHome() { return variableOr("XDG_DATA_HOME", std::filesystem::path(".local") / "share"); }
std::filesystem::path cacheHome() { return variableOr("XDG_CACHE_HOME", ".cache"); }
std::filesystem::path runtimeDir() { return absoluteVariable("XDG_RUNTIME_DIR"); }

}  // namespace tarvo::xdg
