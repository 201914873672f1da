// What the host program (and tests) use to drive the platform: where files
// live, connecting a simulated handheld, the HotSync thread's event pump.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace hotsync {

// $XDG_DATA_HOME/tarvo-hotsync (default ~/.local/share/tarvo-hotsync), created on use.
std::filesystem::path dataDir();
// dataDir()/users/<name>/ and its install queue folder.
std::filesystem::path userDir(const std::string& user);
std::filesystem::path userInstallDir(const std::string& user);
// The desktop HotSync log of a user.
std::filesystem::path userLogFile(const std::string& user);
std::vector<std::string> users();  // in name order
// Makes the user's folders if missing; false with *error on a bad name.
bool addUser(const std::string& user, std::string* error);

// The user whose desktop log LogAddEntry writes and whose queue the sync
// installs. Set by connectHandheld from the handheld's user name.
void setCurrentUser(const std::string& user);
std::string currentUser();

// Connects the simulated handheld in `dir`: reads device.conf, finds the
// cards, replays journals left by a killed process. False with a one-line
// *error when the folder is not a handheld.
bool connectHandheld(const std::filesystem::path& dir, std::string* error);
// Folds every change into the database files and forgets the handheld.
void disconnectHandheld();
bool handheldConnected();
std::filesystem::path handheldDir();

// Installs the files queued for the current user into the connected
// handheld: each valid database goes to card 0 (replacing a database of the
// same name), each invalid one is refused with a desktop log line and
// removed from the queue. Returns the number installed.
int installQueuedFiles(std::vector<std::string>* messages);

// -1: ask the system; 0: offline; 1: online.
void setOnlineOverride(int mode);

// The event pump SyncYieldCycles runs when called on the HotSync thread
// (the thread that calls setHotSyncThread). Empty: none.
void setYieldPump(std::function<void()> pump);
void setHotSyncThread();
// How many SyncYieldCycles calls there were since connecting (for tests).
uint64_t yieldCount();

// The handheld's own HotSync log lines.
std::vector<std::string> handheldLog();

}  // namespace hotsync
