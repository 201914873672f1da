// tarvo-hotsync sync: one HotSync of a simulated handheld.
#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "cli/arguments.h"
#include "host/cancel_signals.h"
#include "host/commands.h"
#include "host/conduit_run.h"
#include "host/handheld_port.h"
#include "host/handheld_reader.h"
#include "host/manager_config.h"
#include "host/sync_handoff.h"
#include "host/sync_report.h"
#include "hotsync/backup.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kSyncHelp =
    "Runs one HotSync: connects the handheld in DIR (or, with --port, waits for\n"
    "a live handheld on PORT), makes its user a HotSync\n"
    "user if new, installs the files queued for that user, then runs each\n"
    "registered conduit whose creator has databases on the handheld (or that\n"
    "always runs), in the order `tarvo-hotsync conduits` shows, through its\n"
    "OpenConduit; with --conduit FILE just that one. Without a registration\n"
    "for creator Tarv, libtarvoconduit.so beside the host runs for it. Then\n"
    "every changed database with its backup bit set that no conduit handles is\n"
    "backed up into the user's folder (backup/ beside the install queue), unless\n"
    "--no-backup or `backup = off` in ~/.config/tarvo-hotsync/manager.conf. When this\n"
    "user's HotSync manager runs (tarvo-hotsync manager), it runs the HotSync\n"
    "on this terminal.\n"
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
    "  --no-backup          no backup at this HotSync\n"
    "  --offline, --online  force the answer of the Internet connection check\n"
    "  --no-gui             no windows: progress and login prompts on the terminal\n"
    "\n"
    "What the HotSync manager gives the HotSyncs it runs:\n"
    "  --managed            run here, never hand the HotSync to the manager\n"
    "  --link-fd N          the network handheld's connection, accepted already,\n"
    "                       on descriptor N (with --listen)\n"
    "  --usb-device BUS-ADDRESS  only the USB handheld at that place (with --port usb:)\n"
    "  --report-fd N        write the HotSync's steps (user, installs, conduits,\n"
    "                       progress, backup) as JSON lines to descriptor N\n"
    "\n"
    "Progress shows in place on a terminal, as plain lines on standard error\n"
    "otherwise (TARVO_PROGRESS=none silences it). Ctrl-C, SIGTERM and SIGHUP\n"
    "cancel the HotSync cleanly; a second one ends the host at once.\n"
    "\n"
    "Exit status:\n"
    "  0  every server done\n"
    "  1  bad input (usage, a folder that is not a handheld)\n"
    "  3  the conduit returned an unknown result\n"
    "  4  some servers, conduits or backups could not be done (one line each,\n"
    "     here and in the log)\n"
    "  5  cancelled\n"
    "  6  offline: no server contacted\n"
    "  7  no conduit could be loaded\n"
    "  8  a live handheld went away before the HotSync ended\n"
    "  9  no handheld came within --wait SECONDS (a HotSync the manager runs\n"
    "     waits handheld-wait seconds of manager.conf, default 300)\n";

// Backs up what changed, unless turned off; the exit status it adds.
int runBackup(const std::set<uint32_t>& handled) {
  hotsync::BackupOptions options;
  options.skipCreators = handled;
  options.progress = [](const std::string& name) {
    std::printf("  Backing up %s\n", name.c_str());
    std::fflush(stdout);
    reportBackingUp(name);
  };
  const hotsync::BackupReport report = hotsync::backupHandheld(options);
  for (const std::string& line : report.failures) fail(line);
  const std::string summary = "backup: " + std::to_string(report.backedUp) + " database" +
                              (report.backedUp == 1 ? "" : "s") + " backed up, " + std::to_string(report.unchanged) +
                              " unchanged";
  std::printf("%s\n", summary.c_str());
  // The host's own line in the desktop log, after the conduits' entries.
  LogAddEntry(Utf8ToCp1252("Backup: " + summary.substr(8)).c_str(), slText, 0);
  reportBackup(report.backedUp, report.unchanged, static_cast<int>(report.failures.size()), summary);
  if (report.cancelled || CancelSignals::Received() != 0) return kExitCancelled;
  return report.failures.empty() ? kExitOk : kExitServersFailed;
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

constexpr cli::Option kSyncOptions[] = {
    {"handheld", cli::Value, "DIR"},
    {"listen", cli::OptionalValue, "ADDR[:PORT]"},
    {"port", cli::Value, "PORT"},
    {"rate", cli::Value, "N"},
    {"wait", cli::Value, "SECONDS"},
    {"conduit", cli::Value, "FILE"},
    {"no-backup"},
    {"no-gui"},
    {"offline"},
    {"online"},
    {"managed"},
    {"link-fd", cli::Value, "N"},
    {"usb-device", cli::Value, "BUS-ADDRESS"},
    {"report-fd", cli::Value, "N"},
};

// A descriptor number given on the command line; -1 when not given.
bool descriptorOption(const cli::Args& args, const char* name, int* fd, std::string* error) {
  *fd = -1;
  if (!args.hasValue(name)) return true;
  const std::string text = args.value(name);
  int64_t value = -1;
  if (!cli::parseNumber(text, 0, 1023, &value) || ::fcntl(static_cast<int>(value), F_GETFD) < 0) {
    *error = std::string("--") + name + " needs an open descriptor, not " + text;
    return false;
  }
  *fd = static_cast<int>(value);
  return true;
}

int runSync(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  ChosenPort port;
  bool live = false;
  if (!choosePort(portOptions(args), !args.hasValue("handheld"), &port, &live, &error)) return usageFail("sync", error);
  if (args.hasValue("handheld") == live) return usageFail("sync", "give --handheld DIR or --port PORT");
  if (args.has("offline") && args.has("online")) return usageFail("sync", "--offline and --online exclude each other");
  int reportFd = -1;
  if (!descriptorOption(args, "link-fd", &port.handedLinkFd, &error) ||
      !descriptorOption(args, "report-fd", &reportFd, &error))
    return usageFail("sync", error);
  if (args.hasValue("usb-device")) {
    // A place that cannot be read would let any handheld in: refused.
    unsigned bus = 0, address = 0;
    char end = 0;
    const std::string device = args.value("usb-device");
    if (std::sscanf(device.c_str(), "%u-%u%c", &bus, &address, &end) != 2 || bus > 255 || address > 255)
      return usageFail("sync", "--usb-device needs BUS-ADDRESS (two numbers, as 3-7), not " + device);
    if (port.name.kind != hotsync::PortName::Usb) return usageFail("sync", "--usb-device goes with --port usb:");
    port.usbDevice = device;
  }
  // A running HotSync manager runs it the same way, in the desktop session.
  if (int status = 0; !args.has("managed") && handSyncToManager(line.words, &status)) return status;
  if (reportFd >= 0) startSyncReport(reportFd);

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
    if (const int status = handheld.wait(port, &error); status != kExitOk) {
      // Stopped by a Cancel: the HotSync ends as a cancelled one does.
      if (status != kExitCancelled) return fail(error, status);
      std::printf("%s\n", outcomeLine(kExitCancelled, live));
      return kExitCancelled;
    }
  } else if (!handheld.connect(args.value("handheld"), &error)) {
    return fail(error);
  }
  const std::string user = hotsync::currentUser();
  if (user.empty()) return fail("the handheld's user name cannot be a HotSync user");
  const std::string where = live ? port.shown : args.value("handheld");
  std::printf("handheld: %s, user \"%s\"\n", where.c_str(), user.c_str());
  // Each HotSync's first line in the desktop log: the log window groups on it.
  LogAddEntry(Utf8ToCp1252("HotSync started (" + where + ")").c_str(), slText, 0);
  if (std::find(knownUsers.begin(), knownUsers.end(), user) == knownUsers.end())
    std::printf("new HotSync user \"%s\"\n", user.c_str());
  reportUser(user);

  std::vector<std::string> messages;
  std::vector<hotsync::InstallOutcome> outcomes;
  if (const auto queue = hotsync::queuedFiles(user); !queue.empty()) reportInstalling(static_cast<int>(queue.size()));
  const int installed = hotsync::installQueuedFiles(&messages, &outcomes);
  for (const std::string& message : messages) std::printf("%s\n", message.c_str());
  for (const hotsync::InstallOutcome& outcome : outcomes) reportInstall(outcome.file, outcome.installed, outcome.words);
  std::printf("installed %d queued file%s\n", installed, installed == 1 ? "" : "s");

  ManagerConfig config;
  if (!readManagerConfig(managerConfigFile(), &config, &error)) fail(error + "; the backup runs");
  std::set<uint32_t> handled;
  int status = hotsync::cancelRequested() ? kExitCancelled : runConduits(args.value("conduit"), user, &handled);
  if (const int notAsked = hotsync::loginsNotAsked(); notAsked > 0) {
    // The conduit logged the server as failed in its own words; this says
    // why, and that the HotSync did not end well.
    const std::string line =
        "Login not asked: no display and no terminal to ask on (" + std::to_string(notAsked) +
        (notAsked == 1 ? " server" : " servers") +
        "); run tarvo-hotsync manager --session in your desktop, or store the login with tarvo-hotsync login";
    LogAddEntry(Utf8ToCp1252(line).c_str(), slText, 0);
    fail(line);
    if (status == kExitOk) status = kExitServersFailed;
  }
  if (status != kExitCancelled && hotsync::handheldLost().empty() && config.backup && !args.has("no-backup")) {
    // A failed backup turns a clean HotSync into one with failures; a worse outcome stays.
    if (const int backup = runBackup(handled); backup != kExitOk && (status == kExitOk || backup == kExitCancelled))
      status = backup;
  }
  // Ending the HotSync tells a live handheld how it ended, which it shows:
  // a cancelled or failed HotSync must not say "HotSync complete" there.
  handheld.disconnect(status == kExitOk || status == kExitOffline ? hotsync::SyncEnd::Normal
                      : status == kExitCancelled                  ? hotsync::SyncEnd::Cancelled
                                                                  : hotsync::SyncEnd::Failed);
  if (const std::string lost = hotsync::handheldLost(); !lost.empty()) {
    const std::string line = "HotSync stopped: the handheld went away (" + lost + ")";
    LogAddEntry(Utf8ToCp1252(line).c_str(), slText, 0);
    fail(line, kExitHandheldLost);
    status = kExitHandheldLost;
  }
  std::printf("%s\n", outcomeLine(status, live));
  std::fflush(stdout);
  // And its last line there: how it ended (each failure already has its
  // warning line).
  LogAddEntry(outcomeLine(status, live), slText, 0);
  return status;
}

}  // namespace

const Command kSyncCommand = {
    "sync",
    "--handheld DIR | --port PORT [--rate N] [--wait SECONDS]\n"
    " [--conduit FILE] [--no-backup] [--no-gui] [--offline|--online]",
    "run one HotSync of a simulated handheld, or of a live one on a port",
    kSyncHelp,
    "",
    kSyncOptions,
    Words::None,
    runSync,
};

}  // namespace tarvo::host
