// The desktop HotSync log of the current user.
#pragma once

#include <cstdint>

#include "hotsync/syncmgr.h"

// Activity codes the system uses.
constexpr int32_t slText = -1;
constexpr int32_t slSyncAborted = 8;  // the HotSync was cancelled
constexpr int32_t slSyncStarted = 19;
constexpr int32_t slSyncFinished = 20;
constexpr int32_t slWarning = 21;  // something the user should know went wrong

HOTSYNC_API int32_t LogAddEntry(const char* text, int32_t activity, int32_t flag);
