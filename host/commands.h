// The host's commands. Each takes the arguments from the command word on
// (argv[0] is the command) and returns the process exit status.
#pragma once

#include <string>

namespace tarvo::host {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitBadInput = 1;       // bad usage, missing folder, not a database, unknown user
constexpr int kExitNoConduit = 2;      // no conduit found or it could not be loaded
constexpr int kExitConduitFailed = 3;  // the conduit ran and reported a failure
constexpr int kExitHandheldLost = 4;   // a network handheld went away before the HotSync ended

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

// Prints "tarvo-hotsync: <message>" on standard error; returns `status`.
int fail(const std::string& message, int status = kExitBadInput);

}  // namespace tarvo::host
