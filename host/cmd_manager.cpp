// tarvo-hotsync manager [-r]: the resident HotSync host of this Linux user.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "host/conduit_switches.h"
#include "host/manager_client.h"
#include "host/manager_config.h"
#include "host/manager_server.h"
#include "hotsync/condmgr.h"
#include "hotsync/manager.h"
#include "setup/sync_host.h"

namespace tarvo::host {
namespace {

constexpr char kRegisteringEnv[] = "TARVO_HOTSYNC_REGISTERING";

constexpr const char* kManagerHelp =
    "Runs the HotSync manager of this Linux user: `tarvo-hotsync sync` hands\n"
    "it its HotSyncs, and handhelds call it on the ports it watches (serial,\n"
    "USB, network); it runs them one at a time. It reads the conduit\n"
    "registration when it starts; registering a conduit stops and restarts\n"
    "it. Only one runs per user (a lock in $XDG_RUNTIME_DIR/tarvo-hotsync/).\n"
    "\n"
    "  --port PORT      answer handhelds that call on PORT: a tty (a serial\n"
    "                   cradle, /dev/ttyUSB0), net:[ADDR][:PORT] (network\n"
    "                   HotSync, default 127.0.0.1:14238; any other address is\n"
    "                   open to anyone who reaches it) or usb: (a HotSync for\n"
    "                   each handheld that appears on USB); give it once per\n"
    "                   port, all are watched at once\n"
    "  --listen[=ADDR[:PORT]]  the same as --port net:[ADDR][:PORT]\n"
    "  --no-listen      answer no handheld. Without these, the \"port = PORT\"\n"
    "                   lines and \"network = off|on|ADDR[:PORT]\" of\n"
    "                   $XDG_CONFIG_HOME/tarvo-hotsync/manager.conf decide;\n"
    "                   there \"handheld-wait = SECONDS\" bounds a HotSync's wait\n"
    "                   for its handheld (300). A port that cannot be opened is\n"
    "                   logged with what to do and tried again\n"
    "  -r               restart in the background: return once the manager\n"
    "                   listens, or at once when one runs already; its log\n"
    "                   goes to $XDG_RUNTIME_DIR/tarvo-hotsync/manager.log\n"
    "  --register FILE  first register the conduit FILE when creator Tarv has\n"
    "                   no registration and was never unregistered (what the\n"
    "                   installed user unit does)\n"
    "  --quit           ask the running manager to quit (it cancels a HotSync in\n"
    "                   progress cleanly first, and ends one that does not end\n"
    "                   within seconds); at most 20 requests, 500 ms apart\n"
    "  --status         print what the running manager does: its ports, the\n"
    "                   HotSync running and waiting, the last one's result\n"
    "  --json           with --status: the state as one JSON line, for scripts\n"
    "  --events         print its events as JSON lines as they come, until it\n"
    "                   quits or Ctrl-C (docs/manager-protocol.md)\n"
    "  --reload         make it read manager.conf again, without a restart\n"
    "  --session        hand it this desktop session (DISPLAY, WAYLAND_DISPLAY,\n"
    "                   the session bus, the locale): HotSyncs that a handheld\n"
    "                   starts show their windows and login prompts there. The\n"
    "                   status icon does it when it starts, and so do --status,\n"
    "                   --events and --reload; under systemd the manager also\n"
    "                   asks the user's systemd for the session\n"
    "\n"
    "Exit status: 0 after a quit request or SIGTERM, 1 bad input or a manager\n"
    "runs already; --quit: 0 none is left, 3 it did not quit.\n";

constexpr cli::Option kManagerOptions[] = {
    {"", cli::Flag, "", 'r'},
    {"register", cli::Value, "FILE"},
    {"listen", cli::OptionalValue, "ADDR[:PORT]"},
    {"port", cli::Value, "PORT"},
    {"no-listen"},
    {"quit"},
    {"status"},
    {"json"},
    {"events"},
    {"reload"},
    {"session"},
};

// Returns in the caller once the background manager reports: 'r' ready,
// 'a' another runs already; nothing means it failed to start.
int waitForBackground(int readEnd, const std::filesystem::path& dir) {
  char report = 0;
  ssize_t n;
  do {
    n = ::read(readEnd, &report, 1);
  } while (n < 0 && errno == EINTR);
  ::close(readEnd);
  if (n == 1 && (report == 'r' || report == 'a')) return kExitOk;
  return fail("the HotSync manager did not start; see " + (dir / "manager.log").string());
}

void detachOutput(const std::filesystem::path& dir) {
  const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int log = ::open((dir / "manager.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (in >= 0) ::dup2(in, 0);
  if (log >= 0) {
    ::dup2(log, 1);
    ::dup2(log, 2);
  }
  for (int fd : {in, log}) {
    if (fd > 2) ::close(fd);
  }
}

// The lock, unless a manager holds it. One that no longer answers on its
// socket is on its way out (a restart right after a quit meets it), so it
// is given a few seconds to let go.
bool takeLock(int lock) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) return true;
    // Started by the registration of the manager that holds the lock: it
    // is alive, only not listening yet.
    char pid[32] = {};
    (void)!::pread(lock, pid, sizeof pid - 1, 0);
    const char* registering = std::getenv(kRegisteringEnv);
    if (registering != nullptr && std::atoi(registering) == std::atoi(pid)) return false;
    const int live = hotsync::connectManager();
    if (live >= 0) {
      ::close(live);
      return false;
    }
    ::usleep(100 * 1000);
  }
  return false;
}

int runManager(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  for (const char* request : {"quit", "status", "events", "reload", "session"}) {
    if (!args.has(request)) continue;
    const size_t json = std::string_view(request) == "status" && args.has("json") ? 1 : 0;
    if (args.flags.size() + args.values.size() != 1 + json)
      return usageFail("manager", std::string("--") + request + " takes no other option");
    if (args.has("quit")) return setup::closeSyncHost(setup::platformSyncHost()) ? kExitOk : kExitConduitFailed;
    if (args.has("status")) return printManagerStatus(json != 0);
    if (args.has("events")) return printManagerEvents();
    if (args.has("session")) return handManagerSession();
    return requestManagerReload();
  }
  if (args.has("json")) return usageFail("manager", "--json goes with --status");
  const bool background = args.has("r");
  std::string registerFile = args.value("register");
  const bool noListen = args.has("no-listen");
  std::vector<std::string> ports = args.valuesOf("port");
  if (args.has("listen")) ports.push_back("net:" + args.value("listen"));
  if (noListen && !ports.empty()) return usageFail("manager", "--no-listen excludes --port and --listen");
  if (std::count_if(ports.begin(), ports.end(), [](const std::string& p) { return p.starts_with("net:"); }) > 1)
    return usageFail("manager", "one network port at a time");
  for (const std::string& port : ports) {
    if (!managerTakesPort(port, &error)) return usageFail("manager", error);
  }
  // The options win over the settings file, at the start and at each reload.
  const bool portsGiven = noListen || !ports.empty();
  auto readConfig = [ports, portsGiven](ManagerConfig* config, std::string* why) {
    *config = ManagerConfig{};
    if (!readManagerConfig(managerConfigFile(), config, why)) return false;
    if (portsGiven) config->ports = ports;
    return true;
  };
  ManagerConfig config;
  if (!readConfig(&config, &error)) return fail(error);
  const std::filesystem::path dir = hotsync::managerDir(&error);
  if (dir.empty()) return fail(error);

  int readyFd = -1;
  if (background) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return fail(std::string("pipe: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return fail(std::string("fork: ") + std::strerror(errno));
    if (pid > 0) {
      ::close(pipeFds[1]);
      return waitForBackground(pipeFds[0], dir);
    }
    ::close(pipeFds[0]);
    ::setsid();
    detachOutput(dir);
    readyFd = pipeFds[1];
  }
  auto report = [&](char c) {
    if (readyFd >= 0) (void)!::write(readyFd, &c, 1);
  };

  // The lock is held for the manager's life; the kernel drops it when the
  // process ends however it ends, so a crashed manager never blocks the next.
  const int lock = ::open((dir / "manager.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock < 0) return fail((dir / "manager.lock").string() + ": " + std::strerror(errno));
  if (!takeLock(lock)) {
    char pid[32] = {};
    (void)!::pread(lock, pid, sizeof pid - 1, 0);
    report('a');
    if (background) return kExitOk;
    return fail("a HotSync manager runs already (pid " + std::string(pid, ::strcspn(pid, "\n")) + ")");
  }
  const std::string pidText = std::to_string(::getpid()) + "\n";
  (void)!::ftruncate(lock, 0);
  (void)!::pwrite(lock, pidText.data(), pidText.size(), 0);

  // Registering now finds no manager to close (the socket is not up yet),
  // and the one it starts finds this lock taken.
  // Only the first time ever: a user who unregistered the conduit keeps it so.
  ConduitSwitches switches;
  if (!registerFile.empty() && !hotsync::registrationText("Tarv", "module", nullptr) &&
      readConduitSwitches(&switches, &error) && !switches.unregistered.contains("Tarv")) {
    ::setenv(kRegisteringEnv, std::to_string(::getpid()).c_str(), 1);
    runCommand(kRegisterCommand, {registerFile});
    ::unsetenv(kRegisteringEnv);
    std::fflush(stdout);
  }

  // The registration as it is now; a new one takes effect at the restart.
  ConduitChoice choice;
  std::string conduit;
  if (chooseConduit("", &choice, &error)) {
    conduit = choice.path.string();
    std::fprintf(stderr, "conduit: %s (%s)\n", conduit.c_str(), choice.source.c_str());
  } else {
    std::fprintf(stderr, "tarvo-hotsync: %s\n", error.c_str());
  }

  ManagerServer server(dir, readConfig);
  if (!server.start(&error)) return fail(error);
  report('r');
  if (readyFd >= 0) ::close(readyFd);
  return server.run();
}

}  // namespace

const Command kManagerCommand = {
    "manager",
    "[-r] [--register FILE] [--port PORT]... [--listen[=ADDR[:PORT]]] [--no-listen]\n"
    "--quit | --status [--json] | --events | --reload | --session",
    "the resident HotSync manager that runs handed HotSyncs and those of the handhelds that call",
    kManagerHelp,
    "",
    kManagerOptions,
    Words::None,
    runManager,
};

}  // namespace tarvo::host
