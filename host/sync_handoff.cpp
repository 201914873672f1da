#include "host/sync_handoff.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/manager_protocol.h"
#include "hotsync/manager.h"

namespace tarvo::host {
namespace {

// Reads the manager's next reply, forwarding a cancel (Ctrl-C, SIGTERM,
// SIGHUP) while it waits: the manager takes the closed sending half as the
// caller's Cancel, and the HotSync still ends with its own status.
bool nextReply(int fd, bool* forwarded, nlohmann::json* reply) {
  for (;;) {
    if (!*forwarded && CancelSignals::Received() != 0) {
      ::shutdown(fd, SHUT_WR);
      *forwarded = true;
    }
    pollfd p{fd, POLLIN, 0};
    // A signal that comes just before poll is seen at the next round.
    const int ready = ::poll(&p, 1, 250);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    std::string line;
    if (!hotsync::receiveManagerLine(fd, &line)) return false;
    *reply = nlohmann::json::parse(line, nullptr, false);
    if (reply->is_object() && reply->contains("reply") && (*reply)["reply"].is_string()) return true;
  }
}

}  // namespace

bool handSyncToManager(const std::vector<std::string>& args, int* status) {
  const int fd = hotsync::connectManager();
  if (fd < 0) return false;
  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  std::fflush(nullptr);
  if (ec || !hotsync::sendManagerLine(fd, syncRequest(cwd, args).dump(), {0, 1, 2})) {
    ::close(fd);
    return false;
  }
  // From here a signal is the HotSync's Cancel, as when it runs here.
  const CancelSignals signals;
  bool forwarded = false;
  bool started = false;
  nlohmann::json reply;
  std::string kind;
  while (nextReply(fd, &forwarded, &reply)) {
    kind = reply["reply"].get<std::string>();
    if (kind == "queued") {
      std::printf("waiting for the HotSync in progress to end\n");
      std::fflush(stdout);
    } else if (kind == "waiting") {
      std::printf("the HotSync manager waits for the handheld on %s; press its HotSync button\n",
                  reply.value("port", std::string("its port")).c_str());
      std::fflush(stdout);
    } else if (kind == "started") {
      started = true;
    } else {
      break;
    }
  }
  ::close(fd);
  const bool closedEarly = kind != "ended" && kind != "cancelled" && kind != "declined";
  // Nothing of it ran: the caller runs it alone, unless it was cancelled.
  if (!started && !forwarded && (kind == "declined" || kind == "error" || closedEarly)) return false;
  if (!started) {
    std::printf("HotSync cancelled\n");
    std::fflush(stdout);
    *status = kExitCancelled;
    return true;
  }
  if (kind != "ended" || !reply.contains("status") || !reply["status"].is_number_integer()) {
    *status = fail("the HotSync manager ended during the HotSync", kExitConduitFailed);
    return true;
  }
  *status = reply["status"].get<int>();
  return true;
}

}  // namespace tarvo::host
