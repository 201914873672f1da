#include "host/manager_client.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/manager_config.h"
#include "host/manager_protocol.h"
#include "host/manager_words.h"
#include "host/program_output.h"
#include "host/session_environment.h"
#include "hotsync/host.h"
#include "hotsync/manager.h"
#include "setup/sync_host.h"

namespace tarvo::host {
namespace {

constexpr const char* kNoManager = "no HotSync manager runs (start it with tarvo-hotsync manager -r)";

// Sends `request` and reads the one reply; -1 when no manager answered.
int ask(const char* request, nlohmann::json* reply) {
  const int fd = hotsync::connectManager();
  if (fd < 0) return -1;
  std::string line;
  const bool answered =
      hotsync::sendManagerLine(fd, nlohmann::json({{"v", kManagerProtocol}, {"request", request}}).dump()) &&
      hotsync::receiveManagerLine(fd, &line);
  ::close(fd);
  if (!answered) return -1;
  *reply = nlohmann::json::parse(line, nullptr, false);
  return reply->is_object() ? 0 : -1;
}

// Hands the manager this process's desktop session, when it has one, for
// the HotSyncs handhelds start; a caller without a display changes nothing.
// The reply; null when no manager answered.
nlohmann::json handSession() {
  const nlohmann::json request = sessionRequest();
  if (!hasDisplay(request["environment"].get<SessionEnvironment>())) return {{"ok", false}, {"error", "no-display"}};
  const int fd = hotsync::connectManager();
  if (fd < 0) return nullptr;
  std::string line;
  const bool answered =
      hotsync::sendManagerLine(fd, request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) &&
      hotsync::receiveManagerLine(fd, &line);
  ::close(fd);
  nlohmann::json reply = answered ? nlohmann::json::parse(line, nullptr, false) : nlohmann::json();
  return reply.is_object() ? reply : nlohmann::json();
}

// A desktop notification through the session bus, best effort: the
// notification service's own interface, called with gdbus when it is there.
void notifyDesktop(const std::string& summary, const std::string& body) {
  std::vector<std::string> args = {"gdbus",
                                   "call",
                                   "--session",
                                   "--dest",
                                   "org.freedesktop.Notifications",
                                   "--object-path",
                                   "/org/freedesktop/Notifications",
                                   "--method",
                                   "org.freedesktop.Notifications.Notify",
                                   "Tarvo Sync",
                                   "0",
                                   "tarvo-sync",
                                   summary,
                                   body,
                                   "[]",
                                   "{}",
                                   "0"};
  (void)outputOf(std::move(args));
}

}  // namespace

int handManagerSession() {
  const nlohmann::json reply = handSession();
  if (reply.is_null()) return fail(kNoManager);
  if (reply.value("reply", "") == "error")
    return fail("the HotSync manager refused the session: " + reply.value("message", std::string("no reason given")));
  if (!reply.value("ok", false)) return fail("no desktop session here (neither DISPLAY nor WAYLAND_DISPLAY is set)");
  std::printf("HotSyncs started by a handheld now run in this desktop session\n");
  return kExitOk;
}

int printManagerStatus(bool json) {
  handSession();
  nlohmann::json reply;
  if (ask("state", &reply) != 0 || !reply.contains("state")) return fail(kNoManager);
  if (json)
    std::printf("%s\n", reply["state"].dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  else
    std::fputs(stateInWords(reply["state"]).c_str(), stdout);
  return kExitOk;
}

int requestManagerReload() {
  handSession();
  nlohmann::json reply;
  if (ask("reload", &reply) != 0) return fail(kNoManager);
  if (reply.value("ok", false)) {
    std::printf("manager.conf read again\n%s", portsInWords(reply.value("ports", nlohmann::json::array())).c_str());
    return kExitOk;
  }
  return fail("the HotSync manager kept its settings: " + reply.value("message", std::string("refused")));
}

std::string managerWaitsOn(const std::string& port) {
  nlohmann::json reply;
  if (ask("state", &reply) != 0 || !reply.contains("state")) return {};
  const std::string named = canonicalPort(port);
  for (const nlohmann::json& watched : reply["state"].value("ports", nlohmann::json::array())) {
    if (watched.value("port", "") == named && watched.value("condition", "") != "unavailable")
      return "the HotSync manager waits for handhelds on " + named +
             " (press the HotSync button to HotSync there, or quit it with tarvo-hotsync manager --quit to use the "
             "port here)";
  }
  return {};
}

int waitForFirstHotSync(std::string* user, bool notify) {
  int fd = hotsync::connectManager();
  if (fd < 0) {
    // As registering does: the first HotSync needs a manager that watches.
    setup::platformSyncHost().start();
    fd = hotsync::connectManager();
  }
  if (fd < 0) return fail(kNoManager);
  ::close(fd);
  // This session is where the first HotSync shows its windows.
  handSession();
  fd = hotsync::connectManager();
  if (fd < 0 || !hotsync::sendManagerLine(fd, R"({"v":1,"request":"events"})")) {
    if (fd >= 0) ::close(fd);
    return fail(kNoManager);
  }
  std::printf("No HotSync user yet: the first HotSync makes the handheld's user one.\n");
  std::fflush(stdout);
  const CancelSignals signals;
  std::string line;
  int status = -1;
  while (CancelSignals::Received() == 0) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 250) <= 0) continue;
    if (!hotsync::receiveManagerLine(fd, &line)) break;
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (!event.is_object()) continue;
    const std::string type = event.value("event", "");
    if (type == "state") {
      std::string ports;
      for (const nlohmann::json& port : event["state"].value("ports", nlohmann::json::array())) {
        if (port.value("condition", "") != "waiting") continue;
        ports += (ports.empty() ? "" : ", ") + port.value("port", std::string());
      }
      const std::string said =
          ports.empty()
              ? "The HotSync manager watches no port that can be used now: see tarvo-hotsync manager --status."
              : "Put the handheld in its cradle and press its HotSync button (the HotSync manager waits on " + ports +
                    ").";
      std::printf("%s\n", said.c_str());
      std::fflush(stdout);
      if (notify) notifyDesktop("Tarvo Sync: waiting for the first HotSync", said);
    } else if (type == "started") {
      std::printf("HotSync started...\n");
      std::fflush(stdout);
    } else if (type == "ended") {
      const nlohmann::json& ended = event["hotsync"];
      const std::string who = ended.value("user", std::string());
      std::printf("%s\n", ended.value("words", std::string("HotSync ended")).c_str());
      std::fflush(stdout);
      // A HotSync that got as far as the handheld's name made its user.
      if (!who.empty() && !hotsync::users().empty()) {
        *user = who;
        status = kExitOk;
        break;
      }
      std::printf("Press the HotSync button again.\n");
      std::fflush(stdout);
    }
  }
  ::close(fd);
  if (status == kExitOk) return status;
  if (CancelSignals::Received() != 0) return kExitCancelled;
  return fail("the HotSync manager quit before the first HotSync");
}

int printManagerEvents() {
  handSession();
  const int fd = hotsync::connectManager();
  if (fd < 0 || !hotsync::sendManagerLine(fd, R"({"v":1,"request":"events"})")) {
    if (fd >= 0) ::close(fd);
    return fail(kNoManager);
  }
  // Ctrl-C ends the stream; nothing else is left to tidy.
  const CancelSignals signals;
  std::string line;
  while (CancelSignals::Received() == 0) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 250) <= 0) continue;
    if (!hotsync::receiveManagerLine(fd, &line)) break;  // the manager quit
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
  ::close(fd);
  return kExitOk;
}

}  // namespace tarvo::host
