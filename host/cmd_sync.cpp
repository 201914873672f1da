// tarvo-hotsync sync: one HotSync of a simulated handheld.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/arguments.h"
#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "host/handheld_port.h"
#include "host/handheld_reader.h"
#include "host/sync_handoff.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kHelp =
    "usage: tarvo-hotsync sync --handheld DIR | --port PORT [--rate N] [--wait SECONDS]\n"
    "                          [--conduit FILE] [--no-gui] [--offline|--online]\n"
    "\n"
    "Runs one HotSync: connects the handheld in DIR (or, with --port, waits for\n"
    "a live handheld on PORT), makes its user a HotSync\n"
    "user if new, installs the files queued for that user, then loads the\n"
    "conduit (FILE, else the one registered for creator Tarv, else\n"
    "libtarvoconduit.so beside the host) and calls its OpenConduit. When this\n"
    "user's HotSync manager runs (tarvo-hotsync manager), it runs the HotSync\n"
    "on this terminal and with the conduit registered when it started.\n"
    "\n"
    "  --port PORT          a tty (/dev/ttyUSB0: serial HotSync), net:[ADDR][:PORT]\n"
    "                       (network HotSync, default 127.0.0.1:14238; any other\n"
    "                       address is open to anyone who reaches it),\n"
    "                       serial-tcp:[ADDR][:PORT] (an emulator's serial port,\n"
    "                       default 127.0.0.1:6416) or usb:; without --handheld or\n"
    "                       --port, $PILOTPORT names it\n"
    "  --listen[=ADDR[:PORT]]  the same as --port net:[ADDR][:PORT]\n"
    "  --rate N             cap a serial line's speed (default $PILOTRATE, else\n"
    "                       the handheld's fastest); lower it when a HotSync stalls\n"
    "  --wait SECONDS       give up when no handheld came by then\n"
    "  --offline, --online  force the answer of the Internet connection check\n"
    "  --no-gui             no windows: progress and login prompts on the terminal\n"
    "\n"
    "Progress shows in place on a terminal, as plain lines on standard error\n"
    "otherwise (TARVO_PROGRESS=none silences it). Ctrl-C, SIGTERM and SIGHUP\n"
    "cancel the HotSync cleanly; a second one ends the host at once.\n"
    "\n"
    "Exit status:\n"
    "  0  every server done\n"
    "  1  bad input (usage, a folder that is not a handheld)\n"
    "  3  the conduit returned an unknown result\n"
    "  4  some servers could not be done (one line each, here and in the log)\n"
    "  5  cancelled\n"
    "  6  offline: no server contacted\n"
    "  7  no conduit could be loaded\n"
    "  8  a live handheld went away before the HotSync ended\n"
    "  9  no handheld came within --wait SECONDS\n";

int32_t printProgress(const char* text) {
  std::printf("  %s\n", Cp1252ToUtf8(text ? text : "").c_str());
  std::fflush(stdout);
  return 0;
}

void copyText(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size() < size ? text.size() : size - 1);
}

// What the conduit reported in the desktop log during OpenConduit, shown
// here as well; failures decide the exit status.
struct Reported {
  int failures = 0;
  bool aborted = false;
};

Reported showLogEntries(const std::vector<hotsync::LogEntry>& entries) {
  Reported reported;
  for (const hotsync::LogEntry& entry : entries) {
    if (entry.activity == slWarning || entry.activity == slSyncAborted) {
      std::fflush(stdout);
      std::fprintf(stderr, "tarvo-hotsync: %s\n", entry.text.c_str());
      if (entry.activity == slWarning) ++reported.failures;
      if (entry.activity == slSyncAborted) reported.aborted = true;
    } else if (entry.activity == slText && !entry.text.empty()) {
      std::printf("log: %s\n", entry.text.c_str());
    }
  }
  return reported;
}

// Loads the conduit and runs one OpenConduit on the connected handheld.
int runConduit(const std::string& explicitConduit, const std::string& user) {
  ConduitChoice choice;
  std::string error;
  if (!chooseConduit(explicitConduit, &choice, &error)) return fail(error, kExitNoConduit);
  std::printf("conduit: %s (%s)\n", choice.path.c_str(), choice.source.c_str());
  LoadedConduit conduit;
  if (!conduit.load(choice.path, &error)) return fail(error, kExitNoConduit);
  if (conduit.getConduitName != nullptr) {
    char name[64] = {};
    conduit.getConduitName(name, sizeof name);
    std::printf("conduit name: %s\n", Cp1252ToUtf8(name).c_str());
  }

  // The Windows layout: narrow texts the conduit sees are Windows-1252.
  CSyncProperties props{};
  props.m_SyncType = eFast;
  copyText(props.m_UserName, sizeof props.m_UserName, Utf8ToCp1252(user));
  copyText(props.m_PathName, sizeof props.m_PathName, hotsync::userDir(user).string() + "/");
  props.m_Creator = 0x54617276;  // 'Tarv'
  props.m_FirstDevice = 1;

  hotsync::takeLogEntries();  // only what the conduit writes counts
  const int32_t result = conduit.openConduit(printProgress, props);
  conduit.unload();
  std::printf("OpenConduit returned %d\n", result);
  const Reported reported = showLogEntries(hotsync::takeLogEntries());
  if (result != 0 && result != 1) {
    std::fprintf(stderr, "tarvo-hotsync: the conduit reported a failure (%d)\n", result);
    return kExitConduitFailed;
  }
  if (reported.aborted || CancelSignals::Received() != 0) return kExitCancelled;
  if (result == 0 && hotsync::lastConnectionCheck() == 0) return kExitOffline;
  if (reported.failures > 0) return kExitServersFailed;
  return kExitOk;
}

const char* outcomeLine(int status, bool listen) {
  switch (status) {
    case kExitOk:
      return listen ? "HotSync complete" : "HotSync finished";
    case kExitServersFailed:
      return "HotSync finished; some servers could not be done";
    case kExitCancelled:
      return "HotSync cancelled";
    case kExitOffline:
      return "HotSync not run: offline";
    default:
      return "HotSync failed";
  }
}

constexpr cli::Option kOptions[] = {
    {"handheld", cli::Value, "DIR"},
    {"listen", cli::OptionalValue, "ADDR[:PORT]"},
    {"port", cli::Value, "PORT"},
    {"rate", cli::Value, "N"},
    {"wait", cli::Value, "SECONDS"},
    {"conduit", cli::Value, "FILE"},
    {"no-gui"},
    {"offline"},
    {"online"},
};

}  // namespace

std::span<const cli::Option> syncOptions() { return kOptions; }

int commandSync(int argc, char** argv) {
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, kOptions, &args, &error)) return usageFail("sync", error);
  if (args.has("help")) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usageFail("sync", "unexpected argument " + args.positional[0]);
  HandheldPort port;
  bool live = false;
  if (!choosePort(portOptions(args), !args.hasValue("handheld"), &port, &live, &error)) return usageFail("sync", error);
  if (args.hasValue("handheld") == live) return usageFail("sync", "give --handheld DIR or --port PORT");
  if (args.has("offline") && args.has("online")) return usageFail("sync", "--offline and --online exclude each other");
  // A running HotSync manager runs it the same way, in the desktop session.
  if (int status = 0; handSyncToManager(argc, argv, &status)) return status;

  // From here on a signal cancels: the handheld is always disconnected
  // (folded) on the way out.
  const CancelSignals signals;
  // The HotSync runs on this thread, which is also the one that shows the
  // conduit's windows. The conduit reads the choice from the environment.
  hotsync::setHotSyncThread();
  if (args.has("no-gui")) setenv("TARVO_NO_GUI", "1", 1);
  hotsync::setYieldPump({});
  if (args.has("offline")) hotsync::setOnlineOverride(0);
  if (args.has("online")) hotsync::setOnlineOverride(1);

  // Connecting makes the handheld's user a HotSync user if it is new.
  const std::vector<std::string> knownUsers = hotsync::users();
  ConnectedHandheld handheld;
  if (live) {
    if (const int status = handheld.wait(port, &error); status != kExitOk) return fail(error, status);
  } else if (!handheld.connect(args.value("handheld"), &error)) {
    return fail(error);
  }
  const std::string user = hotsync::currentUser();
  if (user.empty()) return fail("the handheld's user name cannot be a HotSync user");
  std::printf("handheld: %s, user \"%s\"\n",
              live ? (port.port.empty() ? "net:" : port.port.c_str()) : args.value("handheld").c_str(), user.c_str());
  if (std::find(knownUsers.begin(), knownUsers.end(), user) == knownUsers.end())
    std::printf("new HotSync user \"%s\"\n", user.c_str());

  std::vector<std::string> messages;
  const int installed = hotsync::installQueuedFiles(&messages);
  for (const std::string& message : messages) std::printf("%s\n", message.c_str());
  std::printf("installed %d queued file%s\n", installed, installed == 1 ? "" : "s");

  int status = hotsync::cancelRequested() ? kExitCancelled : runConduit(args.value("conduit"), user);
  // Ending the HotSync tells a network handheld; it shows "HotSync complete".
  handheld.disconnect();
  if (const std::string lost = hotsync::handheldLost(); !lost.empty()) {
    const std::string line = "HotSync stopped: the handheld went away (" + lost + ")";
    LogAddEntry(Utf8ToCp1252(line).c_str(), slText, 0);
    fail(line, kExitHandheldLost);
    status = kExitHandheldLost;
  }
  std::printf("%s\n", outcomeLine(status, live));
  std::fflush(stdout);
  return status;
}

}  // namespace tarvo::host
