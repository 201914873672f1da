// The host's commands and what they share: exit statuses and error lines.
#pragma once

#include <span>
#include <string>

#include "cli/arguments.h"
#include "host/command_table.h"

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

// Each command's entry of the command table, defined beside its code.
extern const Command kSyncCommand;
extern const Command kHandheldCommand;
extern const Command kPdbCommand;
extern const Command kUsersCommand;
extern const Command kLogCommand;
extern const Command kInstallCommand;
extern const Command kRegisterCommand;
extern const Command kUnregisterCommand;
extern const Command kConduitsCommand;
extern const Command kManagerCommand;
extern const Command kConfigureCommand;
extern const Command kWizardCommand;
extern const Command kLoginCommand;
extern const Command kRestoreCommand;
extern const Command kSettingsCommand;

// Prints "tarvo-hotsync: <message>" on standard error; returns `status`.
int fail(const std::string& message, int status = kExitBadInput);

// Asks `question` on the terminal, then "[y/N]"; true only for an answer
// starting with y.
bool askYesNo(const std::string& question);

// Bad usage of `command`: prints "tarvo-hotsync COMMAND: <what> (see --help)"
// on standard error; returns kExitBadInput.
int usageFail(const std::string& command, const std::string& what);

}  // namespace tarvo::host
