// The platform services the conduit needs beside the handheld itself: the
// conduit manager's creator codes, the desktop HotSync log and the install
// aide. The layers above reach the platform only through this folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo::handheld {

// The number of a four-character creator or type code ("psys"); 0 when the
// text is no code.
uint32_t CreatorIdFromText(const char* text);

// The four characters of a creator or type code, up to a zero byte.
std::string CreatorIdText(uint32_t code);

// What a desktop log line reports; the log shows each kind in its own words.
enum class LogActivity { Text, Warning, SyncAborted };

// Adds a line to the desktop HotSync log (the handheld's own log is
// CMobileDeviceSync::AddLogEntry).
void AddDesktopLogEntry(const char* text, LogActivity activity = LogActivity::Text);

// The HotSync users of this desktop, as the install aide names them.
std::vector<std::string> HotSyncUsers();

// Queues a file for the user's next HotSync; the install aide's status (0 when queued).
int32_t QueueInstall(const std::string& user, const char* path);

}  // namespace tarvo::handheld
