#include "host/handheld_port.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/commands.h"
#include "host/listen.h"
#include "hotsync/host.h"
#include "hotsync/link.h"

namespace tarvo::host {
namespace {

constexpr uint32_t kSpeeds[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800};

bool wholeNumber(const std::string& text, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > max) return false;
  *out = value;
  return true;
}

std::optional<std::string> fromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// The wait is the HotSync's first step: a signal cancels it. The flag
// also stops a wait that has not begun yet.
void stopOnSignal(int) {
  hotsync::requestCancel();
  hotsync::stopListening();
}

}  // namespace

PortOptions portOptions(const cli::Args& args) {
  PortOptions options;
  if (args.has("listen")) options.listen = args.value("listen");
  for (auto [name, field] : {std::pair{"port", &options.port}, {"rate", &options.rate}, {"wait", &options.wait}}) {
    if (args.hasValue(name)) *field = args.value(name);
  }
  return options;
}

bool choosePort(const PortOptions& given, bool useEnvironment, HandheldPort* out, bool* named, std::string* error) {
  *out = HandheldPort{};
  if (given.port && given.listen) {
    *error = "--port and --listen name the same thing; give one";
    return false;
  }
  std::optional<std::string> port = given.port;
  if (given.listen) port = "net:" + *given.listen;
  if (!port && useEnvironment) port = fromEnvironment("PILOTPORT");
  *named = port.has_value();
  if (port) {
    if (!hotsync::checkPort(*port, error)) return false;
    out->port = *port;
  }
  const std::optional<std::string> rate = given.rate ? given.rate : fromEnvironment("PILOTRATE");
  if (rate) {
    long value = 0;
    const bool known = wholeNumber(*rate, 460800, &value) &&
                       std::find(std::begin(kSpeeds), std::end(kSpeeds), value) != std::end(kSpeeds);
    if (!known) {
      *error = "not a serial speed: " + *rate + " (9600, 19200, 38400, 57600, 115200, 230400 or 460800)";
      return false;
    }
    out->rate = static_cast<uint32_t>(value);
  }
  if (given.wait) {
    long value = 0;
    if (!wholeNumber(*given.wait, 7 * 24 * 3600, &value)) {
      *error = "--wait needs a number of seconds, not " + *given.wait;
      return false;
    }
    out->waitSeconds = static_cast<int>(value);
  }
  return true;
}

int waitForHandheld(const HandheldPort& port, std::string* error) {
  if (const char* handed = std::getenv(kHandedLinkEnv)) {
    const int fd = std::atoi(handed);
    ::unsetenv(kHandedLinkEnv);  // the conduit's own children have no such link
    std::printf("network HotSync handed over by the HotSync manager\n");
    std::fflush(stdout);
    return hotsync::connectHandedOverHandheld(fd, error) ? kExitOk : kExitBadInput;
  }
  if (!hotsync::portIsLocal(port.port)) {
    std::fprintf(stderr,
                 "tarvo-hotsync: warning: waiting on %s; network HotSync has no authentication, so anyone "
                 "who reaches this port can sync as a handheld\n",
                 port.port.c_str());
  }
  hotsync::WaitOptions options;
  options.port = port.port;
  options.rate = port.rate;
  options.waitSeconds = port.waitSeconds;
  // A HotSync the manager runs never waits for ever: others queue behind it.
  if (const char* bound = std::getenv(kHandheldWaitEnv); bound != nullptr && options.waitSeconds == 0)
    options.waitSeconds = std::atoi(bound);
  options.notice = [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  struct sigaction stop {
  }, oldInt{}, oldTerm{};
  stop.sa_handler = stopOnSignal;
  sigaction(SIGINT, &stop, &oldInt);
  sigaction(SIGTERM, &stop, &oldTerm);
  const hotsync::WaitResult result = hotsync::waitForHandheldOn(options, error);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  switch (result) {
    case hotsync::WaitResult::Connected:
      return kExitOk;
    case hotsync::WaitResult::NoHandheld:
      *error = "no handheld came to " + (port.port.empty() ? std::string("net:") : port.port) + " within " +
               std::to_string(options.waitSeconds) + " second" + (options.waitSeconds == 1 ? "" : "s");
      return kExitNoHandheld;
    case hotsync::WaitResult::Stopped:
      return kExitCancelled;
    case hotsync::WaitResult::Failed:
      break;
  }
  return kExitBadInput;
}

}  // namespace tarvo::host
