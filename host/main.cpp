// tarvo-hotsync: the HotSync host. Dispatches the command word.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli/arguments.h"
#include "host/commands.h"

#include "host/cmd_settings.h"

#ifndef TARVO_VERSION
#define TARVO_VERSION "0"
#endif

namespace {

constexpr const char* kUsage =
    "usage: tarvo-hotsync COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  sync --handheld DIR [--conduit FILE] [--no-gui] [--offline|--online]\n"
    "                         run one HotSync of a simulated handheld\n"
    "  handheld list --handheld DIR\n"
    "  handheld dump --handheld DIR NAME\n"
    "                         the databases on a handheld, one database in full\n"
    "  pdb dump FILE          a loose .pdb/.prc file in full\n"
    "  users                  the HotSync users\n"
    "  log [--user NAME] [--handheld DIR] [--json]\n"
    "                         the desktop HotSync log(s) and a handheld's log\n"
    "  login [--user NAME] [--server URL]\n"
    "                         ask for and store a server's login and password\n"
    "  install --user NAME [--create] FILE...\n"
    "                         queue databases for a user's next HotSync\n"
    "  register FILE | unregister FILE\n"
    "                         register a conduit library (calls its DllRegisterServer)\n"
    "  conduits               the conduit registrations\n"
    "  manager [-r]           the resident HotSync manager that runs handed HotSyncs\n"
    "  settings ...           the conduit's settings (see settings --help)\n"
    "\n"
    "Each command takes --help. Files live under $XDG_DATA_HOME/tarvo-hotsync.\n"
    "--version prints the version.\n"
    "Exit status: 0 success, 1 bad input, 2 bad usage of settings, 7 no conduit;\n"
    "sync has its own for its outcomes (see sync --help).\n";

constexpr tarvo::cli::Option kOptions[] = {
    {"version"},
};

int dispatch(int argc, char** argv) {
  tarvo::cli::Args args;
  std::string error;
  if (!tarvo::cli::parse(argc, argv, 1, kOptions, &args, &error, tarvo::cli::Order::StopAtPositional)) {
    tarvo::cli::reportUsage("tarvo-hotsync", error);
    return tarvo::host::kExitBadInput;
  }
  if (args.has("help") || (!args.positional.empty() && args.positional[0] == "help")) {
    std::fputs(kUsage, stdout);
    return tarvo::host::kExitOk;
  }
  if (args.has("version")) {
    // The first line is this project's release. The others are numbers the
    // conduit carries for its servers and the HotSync host, which change apart.
    std::printf(
        "tarvo-hotsync %s\n"
        "conduit: Tarvo Sync 4.7 (the product's version, shown in the progress window);\n"
        "  conduit protocol 1.00f (sent to sync servers); GetConduitVersion 0x101\n",
        TARVO_VERSION);
    return tarvo::host::kExitOk;
  }
  if (args.positional.empty()) {
    std::fputs(kUsage, stderr);
    return tarvo::host::kExitBadInput;
  }
  // The command word and what follows it, as the command sees them.
  const std::string command = args.positional[0];
  int subArgc = static_cast<int>(args.positional.size());
  char** subArgv = argv + (argc - subArgc);
  if (command == "sync") return tarvo::host::commandSync(subArgc, subArgv);
  if (command == "handheld") return tarvo::host::commandHandheld(subArgc, subArgv);
  if (command == "pdb") return tarvo::host::commandPdb(subArgc, subArgv);
  if (command == "users") return tarvo::host::commandUsers(subArgc, subArgv);
  if (command == "log") return tarvo::host::commandLog(subArgc, subArgv);
  if (command == "install") return tarvo::host::commandInstall(subArgc, subArgv);
  if (command == "register" || command == "unregister") return tarvo::host::commandRegister(subArgc, subArgv);
  if (command == "conduits") return tarvo::host::commandConduits(subArgc, subArgv);
  if (command == "manager") return tarvo::host::commandManager(subArgc, subArgv);
  if (command == "configure") return tarvo::host::commandConfigure(subArgc, subArgv);
  if (command == "wizard") return tarvo::host::commandWizard(subArgc, subArgv);
  if (command == "login") return tarvo::host::commandLogin(subArgc, subArgv);
  if (command == "settings") return tarvo::settingsCommand(subArgc, subArgv);
  tarvo::cli::reportUsage("tarvo-hotsync", "unknown command " + command);
  return tarvo::host::kExitBadInput;
}

}  // namespace

namespace tarvo::host {

int fail(const std::string& message, int status) {
  std::fflush(stdout);
  std::fprintf(stderr, "tarvo-hotsync: %s\n", message.c_str());
  return status;
}

int usageFail(const std::string& command, const std::string& what) {
  cli::reportUsage("tarvo-hotsync " + command, what);
  return kExitBadInput;
}

}  // namespace tarvo::host

int main(int argc, char** argv) {
  // A reader that went away (a closed pipe) must not kill a HotSync: writes
  // then fail quietly and the exit status still tells what happened.
  ::signal(SIGPIPE, SIG_IGN);
  try {
    return dispatch(argc, argv);
  } catch (const std::exception& e) {
    return tarvo::host::fail(e.what());
  } catch (...) {
    return tarvo::host::fail("unexpected failure");
  }
}
