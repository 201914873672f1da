#include "desktop_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "hotsync/host.h"

namespace hotsync::detail {

bool appendDesktopLog(const std::string& user, int32_t activity, const std::string& utf8Text) {
  const std::filesystem::path file = user.empty() ? dataDir() / "hotsync.log" : userLogFile(user);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);

  // One entry is one line: line breaks inside the text become spaces, a
  // trailing one is dropped.
  std::string text = utf8Text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  const std::string line = std::string(stamp) + "\t" + std::to_string(activity) + "\t" + text + "\n";

  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::fchmod(fd, 0600);  // also for a file made earlier with a looser mode
  const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  return ok;
}

}  // namespace hotsync::detail

namespace hotsync {

std::optional<DesktopLogEntry> parseDesktopLogLine(const std::string& line) {
  const std::size_t tab1 = line.find('\t');
  if (tab1 == std::string::npos) return std::nullopt;
  const std::size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string::npos) return std::nullopt;
  DesktopLogEntry entry;
  const char* first = line.data() + tab1 + 1;
  const char* last = line.data() + tab2;
  const auto [end, ec] = std::from_chars(first, last, entry.activity);
  if (ec != std::errc() || end != last) return std::nullopt;
  entry.time = line.substr(0, tab1);
  entry.text = line.substr(tab2 + 1);
  return entry;
}

}  // namespace hotsync
