// The host's commands. Each takes the arguments from the command word on
// (argv[0] is the command) and returns the process exit status.
#pragma once

#include <span>
#include <string>

#include "cli/arguments.h"

namespace tarvo::host {

// Exit statuses. 2 is kept for bad usage across the host (settings).
constexpr int kExitOk = 0;             // sync: every server done
constexpr int kExitBadInput = 1;       // bad usage, missing folder, not a database, unknown user
constexpr int kExitConduitFailed = 3;  // sync: the conduit returned an unknown result
constexpr int kExitServersFailed = 4;  // sync: some servers could not be done (log lines say which)
constexpr int kExitCancelled = 5;      // sync: cancelled (a signal, or Cancel in the dialog)
constexpr int kExitOffline = 6;        // sync: no Internet connection, no server contacted
constexpr int kExitNoConduit = 7;      // sync: no conduit found, or it could not be loaded
constexpr int kExitHandheldLost = 8;   // sync: a network handheld went away before the HotSync ended
constexpr int kExitNoHandheld = 9;     // --wait ran out before a handheld came
constexpr int kExitNotShown = 10;      // configure, wizard: no display and no terminal, nothing was done

int commandSync(int argc, char** argv);
int commandHandheld(int argc, char** argv);
int commandPdb(int argc, char** argv);
int commandUsers(int argc, char** argv);
int commandLog(int argc, char** argv);
int commandInstall(int argc, char** argv);
int commandRegister(int argc, char** argv);  // register and unregister
int commandConduits(int argc, char** argv);
int commandManager(int argc, char** argv);
int commandConfigure(int argc, char** argv);
int commandWizard(int argc, char** argv);
int commandLogin(int argc, char** argv);
int commandRestore(int argc, char** argv);

// The options each command takes (its help and completion list them).
std::span<const cli::Option> syncOptions();
std::span<const cli::Option> handheldOptions();
std::span<const cli::Option> logOptions();
std::span<const cli::Option> installOptions();
std::span<const cli::Option> usersOptions();
std::span<const cli::Option> loginOptions();
std::span<const cli::Option> configureOptions();
std::span<const cli::Option> wizardOptions();
std::span<const cli::Option> managerOptions();
std::span<const cli::Option> restoreOptions();
std::span<const cli::Option> conduitsOptions();

// Prints "tarvo-hotsync: <message>" on standard error; returns `status`.
int fail(const std::string& message, int status = kExitBadInput);

// Asks `question` on the terminal, then "[y/N]"; true only for an answer
// starting with y.
bool askYesNo(const std::string& question);

// Bad usage of `command`: prints "tarvo-hotsync COMMAND: <what> (see --help)"
// on standard error; returns kExitBadInput.
int usageFail(const std::string& command, const std::string& what);

}  // namespace tarvo::host
