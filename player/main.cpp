// tarvo-handheld: a simulated handheld (a folder of Palm databases) making a
// network HotSync with a desktop, as a handheld or an emulator would.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

int fail(const std::string& message, int status) {
  std::fprintf(stderr, "tarvo-handheld: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir, desktop;
  hotsync::PlayOptions options;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--handheld") {
      if (!value(&dir)) return fail("--handheld needs a folder", kExitBadInput);
    } else if (arg == "--hotsync") {
      if (!value(&desktop)) return fail("--hotsync needs HOST[:PORT]", kExitBadInput);
    } else if (arg == "--retry" || arg == "--hang-up-after") {
      char* end = nullptr;
      const long number = value(&text) ? std::strtol(text.c_str(), &end, 10) : -1;
      if (text.empty() || end == nullptr || *end != '\0' || number < 0 || number > 1000000000) {
        return fail(arg + " needs a number", kExitBadInput);
      }
      if (arg == "--retry")
        options.retrySeconds = static_cast<int>(number);
      else
        options.hangUpAfter = static_cast<uint64_t>(number);
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      return fail("unknown argument " + arg + " (see --help)", kExitBadInput);
    }
  }
  if (dir.empty() || desktop.empty())
    return fail("give --handheld DIR and --hotsync HOST[:PORT] (see --help)", kExitBadInput);

  auto notice = [quiet](const std::string& line) {
    if (!quiet) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  options.notice = notice;
  std::string error;
  if (!hotsync::playNetworkHotSync(dir, desktop, options, &error)) {
    return fail(error.empty() ? "the HotSync did not end properly" : error, kExitFailed);
  }
  notice("HotSync complete");
  return kExitOk;
}
