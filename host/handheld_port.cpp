#include "host/handheld_port.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/commands.h"
#include "hotsync/host.h"
#include "hotsync/port.h"

namespace tarvo::host {
namespace {

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

bool choosePort(const PortOptions& given, bool useEnvironment, ChosenPort* out, bool* named, std::string* error) {
  *out = ChosenPort{};
  if (given.port && given.listen) {
    *error = "--port and --listen name the same thing; give one";
    return false;
  }
  std::optional<std::string> port = given.port;
  if (given.listen) port = "net:" + *given.listen;
  if (!port && useEnvironment) port = fromEnvironment("PILOTPORT");
  *named = port.has_value();
  if (port) {
    if (!hotsync::parsePortName(*port, &out->name, error)) return false;
    out->shown = port->empty() ? "net:" : *port;
  }
  const std::optional<std::string> rate = given.rate ? given.rate : fromEnvironment("PILOTRATE");
  if (rate) {
    int64_t value = 0;
    if (!cli::parseNumber(*rate, 1, 460800, &value) || !hotsync::isSerialSpeed(static_cast<uint32_t>(value))) {
      *error = "not a serial speed: " + *rate + " (" + hotsync::serialSpeedList() + ")";
      return false;
    }
    out->rate = static_cast<uint32_t>(value);
  }
  if (given.wait) {
    int64_t value = 0;
    if (!cli::parseNumber(*given.wait, 1, 7 * 24 * 3600, &value)) {
      *error = "--wait needs a number of seconds, not " + *given.wait;
      return false;
    }
    out->waitSeconds = static_cast<int>(value);
  }
  return true;
}

void warnWhenReachable(const hotsync::PortName& name, const std::string& shown) {
  if (hotsync::portIsLocal(name)) return;
  std::fprintf(stderr,
               "tarvo-hotsync: warning: waiting on %s; network HotSync has no authentication, so anyone "
               "who reaches this port can sync as a handheld\n",
               shown.c_str());
}

int waitForHandheld(const ChosenPort& port, std::string* error) {
  if (port.handedLinkFd >= 0) {
    std::printf("network HotSync handed over by the HotSync manager\n");
    std::fflush(stdout);
    return hotsync::connectHandedOverHandheld(port.handedLinkFd, error) ? kExitOk : kExitBadInput;
  }
  warnWhenReachable(port.name, port.shown);
  hotsync::WaitOptions options;
  options.rate = port.rate;
  options.waitSeconds = port.waitSeconds;
  options.usbDevice = port.usbDevice;
  options.notice = [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  const std::unique_ptr<hotsync::HandheldPort> opened = hotsync::HandheldPort::open(port.name, error);
  if (!opened) return kExitBadInput;
  struct sigaction stop {
  }, oldInt{}, oldTerm{};
  stop.sa_handler = stopOnSignal;
  sigaction(SIGINT, &stop, &oldInt);
  sigaction(SIGTERM, &stop, &oldTerm);
  const hotsync::WaitResult result = opened->connect(options, error);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  switch (result) {
    case hotsync::WaitResult::Connected:
      return kExitOk;
    case hotsync::WaitResult::NoHandheld:
      *error = "no handheld came to " + port.shown + " within " + std::to_string(options.waitSeconds) + " second" +
               (options.waitSeconds == 1 ? "" : "s");
      return kExitNoHandheld;
    case hotsync::WaitResult::Stopped:
      return kExitCancelled;
    case hotsync::WaitResult::Failed:
      break;
  }
  return kExitBadInput;
}

}  // namespace tarvo::host
