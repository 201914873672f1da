// tarvo-handheld: a simulated handheld (a folder of Palm databases) making a
// network HotSync with a desktop, as a handheld or an emulator would.
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
    "                      [--hang-up-after N] [--quiet]\n"
    "\n"
    "Plays the simulated handheld in DIR making a network HotSync with the desktop\n"
    "at HOST (port 14238 unless given): answers the desktop's requests from the\n"
    "folder until the desktop ends the HotSync. Changes are kept as in a local\n"
    "HotSync, also when the link breaks.\n"
    "  --retry SECONDS   keep trying to connect that long while nothing listens\n"
    "  --hang-up-after N hang up after answering N requests, as a handheld taken\n"
    "                    out of reach would (to try how a desktop copes)\n"
    "  --quiet           no progress lines\n"
    "\n"
    "Exit status: 0 the desktop ended the HotSync, 1 it did not (the reason on\n"
    "standard error), 2 bad usage.\n";

constexpr tarvo::cli::Option kOptions[] = {
    {"handheld", tarvo::cli::Value, "DIR"},
    {"hotsync", tarvo::cli::Value, "HOST[:PORT]"},
    {"retry", tarvo::cli::Value, "SECONDS"},
    {"hang-up-after", tarvo::cli::Value, "N"},
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
  if (dir.empty() || desktop.empty()) return usage("give --handheld DIR and --hotsync HOST[:PORT]");
  hotsync::PlayOptions options;
  int64_t retry = 0;
  int64_t hangUpAfter = 0;
  if (!args.number("retry", 0, 1000000000, 0, &retry, &error) ||
      !args.number("hang-up-after", 0, 1000000000, 0, &hangUpAfter, &error))
    return usage(error);
  options.retrySeconds = static_cast<int>(retry);
  options.hangUpAfter = static_cast<uint64_t>(hangUpAfter);
  const bool quiet = args.has("quiet");

  auto notice = [quiet](const std::string& line) {
    if (!quiet) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  options.notice = notice;
  error.clear();
  if (!hotsync::playNetworkHotSync(dir, desktop, options, &error)) {
    return fail(error.empty() ? "the HotSync did not end properly" : error, kExitFailed);
  }
  notice("HotSync complete");
  return kExitOk;
}
