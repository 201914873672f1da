// What a HotSync the manager runs tells the manager as it goes: the user,
// each install, each conduit, the progress bar and the backup, one JSON
// object per line on the descriptor `sync --report-fd` names. The manager
// numbers and dates each and passes it on as an event of its own.
#pragma once

#include <string>

namespace tarvo::host {

// From now on the steps go to `fd`, and so does the conduit's progress.
void startSyncReport(int fd);

void reportUser(const std::string& user);
// Before the installs: how many files are queued.
void reportInstalling(int files);
void reportInstall(const std::string& file, bool installed, const std::string& words);
void reportConduitStarted(const std::string& creator, const std::string& name);
void reportConduitEnded(const std::string& creator, const std::string& name, int status, const std::string& words);
// As the copy of one database begins.
void reportBackingUp(const std::string& database);
void reportBackup(int copied, int unchanged, int failed, const std::string& words);

}  // namespace tarvo::host
