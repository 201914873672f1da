// tarvo-hotsync wizard: the conduit's first-run wizard through its Wizard
// export, or with --installall the handheld application queued for every
// HotSync user. Afterwards it lists what reached each user's queue.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "host/manager_client.h"
#include "host/session_environment.h"
#include "hotsync/host.h"

extern char** environ;

namespace tarvo::host {
namespace {

constexpr const char* kWizardHelp =
    "Runs the conduit's first-run wizard: choose a HotSync user, the login,\n"
    "the schedule and the connection; at the end the product's handheld\n"
    "application (and its preferences) are queued for that user's next\n"
    "HotSync. It shows in a window when a display is present, else as text\n"
    "forms on the terminal; without either nothing is saved. With no HotSync\n"
    "user yet it first says to press HotSync on the handheld, waits for the\n"
    "HotSync manager's first HotSync (starting the manager when none runs)\n"
    "and goes on for the user it made.\n"
    "\n"
    "  --installall  no questions: queue the handheld application for every\n"
    "                HotSync user\n"
    "  --no-gui      no window: the text forms on the terminal\n"
    "\n"
    "Exit status: 0 done, 1 bad input or no HotSync manager, 3 not queued for\n"
    "every user, 5 cancelled while waiting for the first HotSync,\n"
    "7 no conduit, 10 no display and no terminal to show it (nothing saved).\n";

// Every queued file of every user, with its modification time.
using Queues = std::map<std::string, std::map<std::string, std::filesystem::file_time_type>>;

Queues snapshot() {
  Queues queues;
  for (const std::string& user : hotsync::users()) {
    std::error_code ec;
    auto& files = queues[user];
    for (std::filesystem::directory_iterator it(hotsync::userInstallDir(user), ec), end; !ec && it != end;
         it.increment(ec)) {
      std::error_code timeError;
      files[it->path().filename().string()] = it->last_write_time(timeError);
    }
  }
  return queues;
}

// Prints what the call queued; returns how many files.
int reportQueued(const Queues& before, const Queues& after) {
  int count = 0;
  for (const auto& [user, files] : after) {
    const auto old = before.find(user);
    for (const auto& [file, time] : files) {
      if (old != before.end()) {
        const auto was = old->second.find(file);
        if (was != old->second.end() && was->second == time) continue;
      }
      std::printf("queued %s for %s\n", file.c_str(), user.c_str());
      ++count;
    }
  }
  return count;
}

constexpr cli::Option kWizardOptions[] = {
    {"installall"},
    {"conduit", cli::Value, "FILE"},
    {"no-gui"},
};

int runWizard(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (args.has("no-gui")) setenv("TARVO_NO_GUI", "1", 1);

  LoadedConduit conduit;
  if (!loadChosenConduit(args.value("conduit"), &LoadedConduit::wizard, "Wizard", &conduit, &error))
    return fail(error, kExitNoConduit);

  const bool installAll = args.has("installall");
  if (!installAll && hotsync::users().empty()) {
    // The wizard sets up a HotSync user; the first HotSync makes one. The
    // wait is told on the terminal, else (started from the desktop's menu)
    // in a desktop notification; with neither nobody would know to press
    // HotSync, and the wizard could not show afterwards either.
    const bool terminal = ::isatty(STDOUT_FILENO) || ::isatty(STDERR_FILENO);
    const bool windows = !args.has("no-gui") && hasDisplay(sessionOf(environ));
    if (!terminal && !windows)
      return fail("no HotSync user yet, and no display and no terminal to say to press HotSync; nothing was done",
                  kExitNotShown);
    std::string user;
    if (const int waited = waitForFirstHotSync(&user, !terminal); waited != kExitOk) return waited;
    std::printf("The wizard goes on for %s.\n", user.c_str());
    std::fflush(stdout);
  }
  const size_t users = hotsync::users().size();
  if (installAll && users == 0) std::printf("no HotSync users: nothing to queue\n");
  const Queues before = snapshot();
  conduit.wizard(nullptr, nullptr, installAll ? "/installall" : "", 1);
  conduit.unload();
  const int queued = reportQueued(before, snapshot());
  // The conduit said why on standard error.
  if (hotsync::nothingShown()) return kExitNotShown;
  if (installAll && queued < static_cast<int>(users))
    return fail("the handheld application could not be queued for every user", kExitConduitFailed);
  if (!installAll && queued == 0) std::printf("nothing queued\n");
  return kExitOk;
}

}  // namespace

const Command kWizardCommand = {
    "wizard",
    "[--installall] [--conduit FILE] [--no-gui]",
    "the conduit's first-run wizard; --installall queues its handheld application",
    kWizardHelp,
    "",
    kWizardOptions,
    Words::None,
    runWizard,
};

}  // namespace tarvo::host
