// The Sync Manager: every operation on the connected handheld. Each call
// works on the handheld the host connected (hotsync/host.h) and returns a
// status code (0 success). No call throws.
//
// Thread safety: SyncYieldCycles and SyncReadSysDateTime may be called from
// any thread at the same time as other calls; the rest run on the HotSync
// thread.
#pragma once

#include <cstdint>

#include "hotsync/sync_types.h"

#define HOTSYNC_API extern "C" __attribute__((visibility("default")))
// The C++ functions of namespace hotsync that the host and tests call.
#define HOTSYNC_EXPORT __attribute__((visibility("default")))

HOTSYNC_API int32_t SyncRegisterConduit(uint32_t* handle);
HOTSYNC_API int32_t SyncUnRegisterConduit(uint32_t handle);

HOTSYNC_API int32_t SyncReadUserInfo(UserInfo* info);
// Returns the major version; the minor goes to *minor.
HOTSYNC_API uint16_t SyncGetHHOSVersion(uint16_t* minor);
HOTSYNC_API int32_t SyncReadFeature(uint32_t creator, uint16_t featureNum, uint32_t* value);
// 0 when the card in info->m_CardNo exists, SYNCERR_NOT_FOUND past the last card.
HOTSYNC_API int32_t SyncReadSingleCardInfo(CardInfo* info);
// Fills at most *count entries from startIndex; *count becomes the number filled.
HOTSYNC_API int32_t SyncReadDBList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count);

HOTSYNC_API int32_t SyncOpenDB(const char* name, int32_t cardNo, uint8_t* handle, uint8_t openMode);
// Changes made through the handle are kept once this returns.
HOTSYNC_API int32_t SyncCloseDB(uint8_t handle);
HOTSYNC_API int32_t SyncDeleteDB(const char* name, int32_t cardNo);
HOTSYNC_API int32_t SyncGetDBRecordCount(uint8_t handle, uint16_t* count);
HOTSYNC_API int32_t SyncReadOpenDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info);

// Reads the record at m_RecIndex into m_pBytes (capacity m_TotalBytes); fills
// m_RecId, m_Attribs, m_CatId, m_RecSize. A record longer than the buffer is
// refused with SYNCERR_LOCAL_BUFF_TOO_SMALL (m_RecSize tells its size).
HOTSYNC_API int32_t SyncReadRecordByIndex(RecordInfo* rec);
// m_RecId 0 makes a new record and writes its new id back into m_RecId; an
// existing id replaces that record; an unknown id adds a record with that id.
HOTSYNC_API int32_t SyncWriteRec(RecordInfo* rec);
// Marks the record m_RecId deleted; SYNCERR_NOT_FOUND when there is none.
HOTSYNC_API int32_t SyncDeleteRec(RecordInfo* rec);
HOTSYNC_API int32_t SyncPurgeDeletedRecs(uint8_t handle);
HOTSYNC_API int32_t SyncResetSyncFlags(uint8_t handle);

HOTSYNC_API int32_t SyncReadSysDateTime(SysDateTime* dateTime);
// Adds a line to the handheld's own HotSync log.
HOTSYNC_API int32_t SyncAddLogEntry(const char* text);
// Keeps the link alive; on the HotSync thread it also runs the front end's
// event pump (hotsync/host.h).
HOTSYNC_API int32_t SyncYieldCycles(uint16_t maxMilliseconds);
