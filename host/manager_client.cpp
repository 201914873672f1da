#include "host/manager_client.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/manager_config.h"
#include "host/manager_protocol.h"
#include "hotsync/manager.h"

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

}  // namespace

int printManagerStatus() {
  nlohmann::json reply;
  if (ask("state", &reply) != 0 || !reply.contains("state")) return fail(kNoManager);
  std::printf("%s\n", reply["state"].dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  return kExitOk;
}

int requestManagerReload() {
  nlohmann::json reply;
  if (ask("reload", &reply) != 0) return fail(kNoManager);
  std::printf("%s\n", reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  if (reply.value("ok", false)) return kExitOk;
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

int printManagerEvents() {
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
