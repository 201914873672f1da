// A copy of what the last HotSync wrote into the handheld's own log, kept in
// the user's folder: a handheld on a link keeps its log to itself, so this
// copy is how the desktop shows it beside the desktop log.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "hotsync/host.h"
#include "session.h"

namespace hotsync {
namespace detail {

void keepHandheldLogEntry(Session& s, const std::string& utf8Text) {
  if (s.currentUser.empty()) return;
  // The first entry of a HotSync starts the copy afresh, as the handheld's
  // log screen shows only its last HotSync.
  const bool first = s.keptLogUser != s.currentUser;
  s.keptLogUser = s.currentUser;
  const std::filesystem::path file = userDir(s.currentUser) / "handheld.log";
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (first ? O_TRUNC : O_APPEND), 0600);
  if (fd < 0) return;
  std::string entry = utf8Text;
  if (entry.empty() || entry.back() != '\n') entry += '\n';
  [[maybe_unused]] const ssize_t n = ::write(fd, entry.data(), entry.size());
  ::close(fd);
}

}  // namespace detail

std::vector<std::string> keptHandheldLog(const std::string& user) {
  std::vector<std::string> lines;
  std::ifstream in(userDir(user) / "handheld.log", std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace hotsync
