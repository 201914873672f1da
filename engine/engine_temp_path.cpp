#include "engine/engine_temp_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "xdg/base_dirs.h"

namespace tarvo::engine {
namespace {

// Makes `path` a directory with `mode` if missing; true when it is a
// directory (not a link to one) afterwards.
bool EnsureFolder(const std::string& path, mode_t mode) {
  if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return false;
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string PrivateTempFolder() {
  std::string cache = xdg::cacheHome().string();
  while (cache.size() > 1 && cache.back() == '/') cache.pop_back();
  const std::string tarvo = cache + "/tarvo";
  const std::string tmp = tarvo + "/tmp";
  // The parents are ordinary user folders; only the last one must be private.
  std::error_code error;
  std::filesystem::create_directories(cache, error);
  if (!EnsureFolder(tarvo, 0700) || !EnsureFolder(tmp, 0700)) return std::string();
  struct stat info {};
  if (lstat(tmp.c_str(), &info) != 0 || info.st_uid != getuid()) return std::string();
  if ((info.st_mode & 07777) != 0700 && chmod(tmp.c_str(), 0700) != 0) return std::string();
  return tmp + "/";
}

}  // namespace tarvo::engine
