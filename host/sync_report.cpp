#include "host/sync_report.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include <nlohmann/json.hpp>

#include "hotsync/host.h"

namespace tarvo::host {
namespace {

using nlohmann::json;

int g_fd = -1;
std::mutex g_mutex;
int g_percent = -1;
std::string g_words;

void send(json step) {
  const std::lock_guard lock(g_mutex);
  if (g_fd < 0) return;
  const std::string line = step.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(g_fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // The manager is gone: the HotSync goes on without telling anyone.
      ::close(g_fd);
      g_fd = -1;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

void startSyncReport(int fd) {
  {
    const std::lock_guard lock(g_mutex);
    g_fd = fd;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);  // the conduit's own children do not report
  }
  // The bar moves often with the same words; only changes are worth a line.
  hotsync::setProgressListener([](int percent, const std::string& words) {
    {
      const std::lock_guard lock(g_mutex);
      if (percent == g_percent && words == g_words) return;
      g_percent = percent;
      g_words = words;
    }
    send({{"event", "progress"}, {"percent", percent}, {"words", words}});
  });
}

void reportUser(const std::string& user) { send({{"event", "user"}, {"user", user}}); }

void reportInstalling(int files) { send({{"event", "installing"}, {"files", files}}); }

void reportInstall(const std::string& file, bool installed, const std::string& words) {
  send({{"event", "install"}, {"file", file}, {"ok", installed}, {"words", words}});
}

void reportConduitStarted(const std::string& creator, const std::string& name) {
  send({{"event", "conduit-started"}, {"conduit", {{"creator", creator}, {"name", name}}}});
}

void reportConduitEnded(const std::string& creator, const std::string& name, int status, const std::string& words) {
  send({{"event", "conduit-ended"},
        {"conduit", {{"creator", creator}, {"name", name}}},
        {"status", status},
        {"words", words}});
}

void reportBackingUp(const std::string& database) { send({{"event", "backing-up"}, {"database", database}}); }

void reportBackup(int copied, int unchanged, int failed, const std::string& words) {
  send({{"event", "backup"}, {"copied", copied}, {"unchanged", unchanged}, {"failed", failed}, {"words", words}});
}

}  // namespace tarvo::host
