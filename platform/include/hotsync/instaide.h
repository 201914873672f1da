// The install aide: HotSync users and their install queues.
#pragma once

#include <cstdint>

#include "hotsync/syncmgr.h"

// Selector of PltGetPath: the host's program folder.
constexpr int16_t kPathHotSyncFolder = 2;

HOTSYNC_API int32_t PltGetUserCount();
// Name of user `index` (0-based, in name order) into `buffer` of *size bytes
// (100 at the callers), zero-terminated. -1 when there is no such user.
HOTSYNC_API int32_t PltGetUser(uint32_t index, char* buffer, int16_t* size);
// Copies `path` into `user`'s install folder at once, so that later changes
// to `path` do not reach the handheld. 0 on success, negative on failure.
HOTSYNC_API int32_t PltInstallFile(const char* user, const char* path);
// A path inside the host's program folder, ending in '/'; returns its length
// (> 0) or 0 when it does not fit or the selector is unknown.
HOTSYNC_API int32_t PltGetPath(int16_t selector, char* buffer, int16_t* size);
