// tarvo-hotsync: the HotSync host. Dispatches the command word.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "cli/arguments.h"
#include "host/command_table.h"
#include "host/commands.h"

#ifndef TARVO_VERSION
#define TARVO_VERSION "0"
#endif

namespace {

constexpr tarvo::cli::Option kOptions[] = {
    {"version"},
};

// help [COMMAND]: the usage, or the command's; help --words [COMMAND]: the
// words the shell completion offers.
int help(int argc, char** argv) {
  constexpr tarvo::cli::Option kHelpOptions[] = {{"words"}};
  tarvo::cli::Args args;
  std::string error;
  if (!tarvo::cli::parse(argc, argv, 1, kHelpOptions, &args, &error)) return tarvo::host::usageFail("help", error);
  if (args.positional.size() > 1) return tarvo::host::usageFail("help", "unexpected argument " + args.positional[1]);
  const tarvo::host::Command* command = nullptr;
  if (!args.positional.empty()) {
    command = tarvo::host::findCommand(args.positional[0]);
    if (command == nullptr) return tarvo::host::usageFail("help", "unknown command " + args.positional[0]);
  }
  if (args.has("words")) {
    tarvo::host::printWords(stdout, command);
    return tarvo::host::kExitOk;
  }
  if (command == nullptr) {
    std::fputs(tarvo::host::usageText().c_str(), stdout);
    return tarvo::host::kExitOk;
  }
  return tarvo::host::runCommand(*command, {"--help"});
}

int dispatch(int argc, char** argv) {
  tarvo::cli::Args args;
  std::string error;
  if (!tarvo::cli::parse(argc, argv, 1, kOptions, &args, &error, tarvo::cli::Order::StopAtPositional)) {
    tarvo::cli::reportUsage("tarvo-hotsync", error);
    return tarvo::host::kExitBadInput;
  }
  if (args.has("help")) {
    std::fputs(tarvo::host::usageText().c_str(), stdout);
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
    std::fputs(tarvo::host::usageText().c_str(), stderr);
    return tarvo::host::kExitBadInput;
  }
  // The command word and what follows it, as the command sees them.
  const std::string command = args.positional[0];
  int subArgc = static_cast<int>(args.positional.size());
  char** subArgv = argv + (argc - subArgc);
  if (command == "help") return help(subArgc, subArgv);
  if (const tarvo::host::Command* found = tarvo::host::findCommand(command))
    return tarvo::host::runCommand(*found, {subArgv + 1, subArgv + subArgc});
  tarvo::cli::reportUsage("tarvo-hotsync", "unknown command " + command);
  return tarvo::host::kExitBadInput;
}

}  // namespace

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
