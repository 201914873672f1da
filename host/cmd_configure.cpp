// tarvo-hotsync configure: the conduit's configuration sheet for one HotSync
// user, through its CfgConduit, as the HotSync Manager's configure action.
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/conduit_loader.h"
#include "host/user_lookup.h"
#include "hotsync/host.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kConfigureHelp =
    "Shows the conduit's configuration (login, schedule, connection) for the\n"
    "HotSync user NAME (default: the only HotSync user): in a window when a\n"
    "display is present, else as text forms on the terminal. Without either\n"
    "nothing is saved. Afterwards it prints whether the next HotSync runs the\n"
    "conduit, as the conduit answered, and keeps that answer in the user's\n"
    "folder (file Tarv.action).\n"
    "\n"
    "  --no-gui  no window: the text forms on the terminal\n"
    "\n"
    "Exit status: 0 shown, 1 bad input, 3 the conduit failed, 7 no conduit,\n"
    "10 no display and no terminal to show it (nothing saved).\n";

void copyText(char* field, size_t size, const std::string& text) {
  std::memset(field, 0, size);
  std::memcpy(field, text.data(), text.size() < size ? text.size() : size - 1);
}

// The user to configure: the one asked for, or the only one there is;
// empty with *error when there is none to choose.
std::string chooseUser(const cli::Args& args, std::string* error) {
  if (args.hasValue("user")) {
    std::string user = args.value("user");
    // Set up ahead of the user's first HotSync: the answer waits in the
    // user's folder until a handheld of that name comes.
    if (!isHotSyncUser(user))
      std::fprintf(stderr,
                   "tarvo-hotsync: warning: no HotSync user is called %s yet; the configuration waits for that "
                   "user's first HotSync\n",
                   user.c_str());
    return user;
  }
  std::vector<std::string> users = hotsync::users();
  if (users.size() == 1) return std::move(users.front());
  *error = users.empty() ? "no HotSync users yet (a first sync or install --create makes one)"
                         : "several HotSync users: choose one with --user NAME";
  return {};
}

const char* actionName(int32_t action) { return action == eFast ? "fast" : action == eDoNothing ? "nothing" : "other"; }

const char* preferenceName(int32_t preference) {
  return preference == eTemporaryPreference ? "temporary" : preference == ePermanentPreference ? "permanent" : "none";
}

constexpr cli::Option kConfigureOptions[] = {
    {"user", cli::Value, "NAME"},
    {"conduit", cli::Value, "FILE"},
    {"no-gui"},
};

int runConfigure(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (args.has("no-gui")) setenv("TARVO_NO_GUI", "1", 1);
  const std::string user = chooseUser(args, &error);
  if (user.empty()) return fail(error);

  LoadedConduit conduit;
  if (!loadChosenConduit(args.value("conduit"), &LoadedConduit::cfgConduit, "CfgConduit", &conduit, &error))
    return fail(error, kExitNoConduit);

  CfgConduitInfoType info{};
  info.dwVersion = 1;
  info.dwSize = sizeof info;
  info.dwCreatorId = 0x54617276;  // 'Tarv'
  copyText(info.szUser, sizeof info.szUser, Utf8ToCp1252(user));
  copyText(info.m_PathName, sizeof info.m_PathName, hotsync::userDir(user).string() + "/");
  info.syncPermanent = eFast;
  info.syncTemporary = eFast;
  info.syncNew = eFast;
  info.syncPref = eNoPreference;
  uint32_t size = sizeof info;
  const int32_t result = conduit.cfgConduit(eConfig1, &info, &size);
  conduit.unload();
  if (result != 0) return fail("CfgConduit returned " + std::to_string(result), kExitConduitFailed);

  std::printf("next HotSync of %s: %s (%s)\n", user.c_str(),
              info.syncNew == eDoNothing ? "the conduit does nothing" : "the conduit runs",
              info.syncPref == eTemporaryPreference ? "that HotSync only" : preferenceName(info.syncPref));
  // Nothing shown, nothing saved: not even the new user's folder.
  if (hotsync::nothingShown() && !isHotSyncUser(user)) return kExitNotShown;
  if (!hotsync::addUser(user, &error)) return fail(error);
  // Kept as the HotSync Manager keeps a conduit's answer. The next sync
  // still calls the conduit: its own schedule setting skips that one HotSync
  // and brings the default back, which skipping the call would not do.
  std::ofstream out(hotsync::userDir(user) / "Tarv.action", std::ios::trunc);
  out << "# The answer of the conduit for creator Tarv at its last configuration.\n"
      << "action = " << actionName(info.syncNew) << "\n"
      << "preference = " << preferenceName(info.syncPref) << "\n";
  if (!out) return fail("cannot write " + (hotsync::userDir(user) / "Tarv.action").string());
  // The conduit said why on standard error; the answer above is the stored one.
  return hotsync::nothingShown() ? kExitNotShown : kExitOk;
}

}  // namespace

const Command kConfigureCommand = {
    "configure",
    "[--user NAME] [--conduit FILE] [--no-gui]",
    "the conduit's configuration (login, schedule, connection) for a user",
    kConfigureHelp,
    "",
    kConfigureOptions,
    Words::None,
    runConfigure,
};

}  // namespace tarvo::host
