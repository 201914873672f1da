// tarvo-handheld: a simulated handheld (a folder of Palm databases) making a
// network or serial HotSync with a desktop, as a handheld or an emulator would.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/arguments.h"
#include "hotsync/link.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadInput = 2;

constexpr const char* kUsage =
    "usage: tarvo-handheld --handheld DIR --hotsync HOST[:PORT] [--retry SECONDS]\n"
    "                      [--hang-up-after N] [--give-up-after SECONDS] [--quiet]\n"
    "       tarvo-handheld --handheld DIR --serial DEVICE [--rate N] [options]\n"
    "       tarvo-handheld --handheld DIR --serial-tcp HOST[:PORT] [options]\n"
    "\n"
    "Plays the simulated handheld in DIR making a HotSync with a desktop: answers\n"
    "the desktop's requests from the folder until the desktop ends the HotSync.\n"
    "Changes are kept as in a local HotSync, also when the link breaks.\n"
    "  --hotsync HOST[:PORT]     network HotSync with the desktop at HOST (port 14238)\n"
    "  --serial DEVICE           serial HotSync on the tty DEVICE, as when the HotSync\n"
    "                            button of a handheld in a cradle is pressed\n"
    "  --serial-tcp HOST[:PORT]  serial HotSync over TCP, as an emulator's serial port\n"
    "                            (port 6416 unless given)\n"
    "  --rate N          the fastest serial speed offered (default 115200); the\n"
    "                    desktop picks the speed\n"
    "  --retry SECONDS   keep trying that long while no desktop listens or answers\n"
    "  --hang-up-after N hang up after answering N requests, as a handheld taken\n"
    "                    out of reach would (to try how a desktop copes)\n"
    "  --give-up-after SECONDS  drop the HotSync when the desktop is silent that\n"
    "                    long (default 30, as a real handheld does)\n"
    "  --quiet           no progress lines\n"
    "\n"
    "Exit status: 0 the desktop ended the HotSync, 1 it did not (the reason on\n"
    "standard error), 2 bad usage.\n";

constexpr tarvo::cli::Option kOptions[] = {
    {"handheld", tarvo::cli::Value, "DIR"},
    {"hotsync", tarvo::cli::Value, "HOST[:PORT]"},
    {"serial", tarvo::cli::Value, "DEVICE"},
    {"serial-tcp", tarvo::cli::Value, "HOST[:PORT]"},
    {"rate", tarvo::cli::Value, "N"},
    {"retry", tarvo::cli::Value, "SECONDS"},
    {"hang-up-after", tarvo::cli::Value, "N"},
    {"give-up-after", tarvo::cli::Value, "SECONDS"},
    {"quiet"},
};

int usage(const std::string& what) {
  tarvo::cli::reportUsage("tarvo-handheld", what);
  return kExitBadInput;
}

int fail(const std::string& message, int status) {
  std::fprintf(stderr, "tarvo-handheld: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  tarvo::cli::Args args;
  std::string error;
  if (!tarvo::cli::parse(argc, argv, 1, kOptions, &args, &error)) return usage(error);
  if (args.has("help")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usage("unknown argument " + args.positional[0]);
  const std::string dir = args.value("handheld");
  const std::string desktop = args.value("hotsync");
  const std::string serial = args.value("serial");
  const std::string serialTcp = args.value("serial-tcp");
  if (dir.empty() || (desktop.empty() + serial.empty() + serialTcp.empty()) != 2) {
    return usage("give --handheld DIR and one of --hotsync, --serial or --serial-tcp");
  }
  int64_t rate = 0;
  if (!args.number("rate", 9600, 460800, 0, &rate, &error)) return usage(error);
  if (rate != 0 && !hotsync::isSerialSpeed(static_cast<uint32_t>(rate))) {
    return usage("not a serial speed: " + std::to_string(rate) + " (" + hotsync::serialSpeedList() + ")");
  }
  // The desktop as a port name: where this end connects to.
  hotsync::PortName port;
  if (!serial.empty()) {
    port.kind = hotsync::PortName::Tty;
    port.path = serial;
  } else if (!hotsync::parsePortName(desktop.empty() ? "serial-tcp:" + serialTcp : "net:" + desktop, &port, &error)) {
    return usage(error);
  }
  hotsync::PlayOptions options;
  int64_t retry = 0;
  int64_t hangUpAfter = 0;
  int64_t patience = 0;
  if (!args.number("retry", 0, 1000000000, 0, &retry, &error) ||
      !args.number("hang-up-after", 0, 1000000000, 0, &hangUpAfter, &error) ||
      !args.number("give-up-after", 1, 1000000, hotsync::kHandheldPatienceSeconds, &patience, &error))
    return usage(error);
  options.retrySeconds = static_cast<int>(retry);
  options.patienceSeconds = static_cast<int>(patience);
  options.hangUpAfter = static_cast<uint64_t>(hangUpAfter);
  options.rate = static_cast<uint32_t>(rate);
  const bool quiet = args.has("quiet");

  auto notice = [quiet](const std::string& line) {
    if (!quiet) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  options.notice = notice;
  uint16_t endStatus = 0;
  options.endStatus = &endStatus;
  error.clear();
  const bool played = hotsync::playHotSync(dir, port, options, &error);
  if (!played) {
    return fail(error.empty() ? "the HotSync did not end properly" : error, kExitFailed);
  }
  // What the handheld's screen says at the end.
  notice(endStatus == 0   ? "HotSync complete"
         : endStatus == 2 ? "HotSync cancelled"
                          : "HotSync failed (end status " + std::to_string(endStatus) + ")");
  return kExitOk;
}
