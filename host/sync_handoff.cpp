#include "host/sync_handoff.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/manager_server.h"
#include "hotsync/manager.h"

namespace tarvo::host {
namespace {

// Reads the manager's next line, forwarding a cancel (Ctrl-C, SIGTERM,
// SIGHUP) while it waits: the manager takes the closed sending half as the
// caller's Cancel, and the HotSync still ends with its own status.
bool nextLine(int fd, bool* forwarded, std::string* line) {
  for (;;) {
    if (!*forwarded && CancelSignals::Received() != 0) {
      ::shutdown(fd, SHUT_WR);
      *forwarded = true;
    }
    pollfd p{fd, POLLIN, 0};
    // A signal that comes just before poll is seen at the next round.
    const int ready = ::poll(&p, 1, 250);
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0) return hotsync::receiveManagerLine(fd, line);
  }
}

}  // namespace

bool handSyncToManager(int argc, char** argv, int* status) {
  if (std::getenv(kManagedEnv) != nullptr) return false;  // this is the manager's HotSync
  const int fd = hotsync::connectManager();
  if (fd < 0) return false;
  std::error_code ec;
  std::vector<std::string> fields = {"sync", dataFolders(), std::filesystem::current_path(ec).string()};
  for (int i = 1; i < argc; ++i) fields.emplace_back(argv[i]);
  std::fflush(nullptr);
  const bool sent = !ec && hotsync::sendManagerFrame(fd, fields, {0, 1, 2});
  if (!sent) {
    ::close(fd);
    return false;
  }
  // From here a signal is the HotSync's Cancel, as when it runs here.
  const CancelSignals signals;
  bool forwarded = false;
  std::string line;
  bool answered = nextLine(fd, &forwarded, &line);
  if (answered && line == "queued") {
    std::printf("waiting for the HotSync in progress to end\n");
    std::fflush(stdout);
    answered = nextLine(fd, &forwarded, &line);
  }
  ::close(fd);
  if (answered && line == "declined" && !forwarded) return false;
  if (answered && (line == "cancelled" || line == "declined")) {
    // Cancelled before it started: nothing of it ran.
    std::printf("HotSync cancelled\n");
    std::fflush(stdout);
    *status = kExitCancelled;
    return true;
  }
  if (!answered || line.rfind("status ", 0) != 0) {
    *status = fail("the HotSync manager ended during the HotSync", kExitConduitFailed);
    return true;
  }
  *status = std::atoi(line.c_str() + 7);
  return true;
}

}  // namespace tarvo::host
