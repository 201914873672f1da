// The Sync Manager's exported functions: each takes the library's mutex and
// hands the call to the connected handheld. No exception leaves them.
#include "hotsync/syncmgr.h"
#include "session.h"
#include "text/cp1252.h"

using hotsync::detail::Device;
using hotsync::detail::session;

namespace {

// Runs `call` on the connected handheld under the mutex.
template <typename Call>
int32_t withHandheld(Call&& call) noexcept {
  try {
    auto& s = session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) return SYNCERR_NOT_CONNECTED;
    return call(*s.handheld);
  } catch (...) {
    return SYNCERR_UNKNOWN;
  }
}

}  // namespace

HOTSYNC_API int32_t SyncRegisterConduit(uint32_t* handle) {
  if (handle == nullptr) return SYNCERR_BAD_ARG;
  try {
    auto& s = session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) return SYNCERR_NOT_CONNECTED;
    do {
      ++s.lastConduit;
    } while (s.lastConduit == 0 || s.conduits.contains(s.lastConduit));
    s.conduits.insert(s.lastConduit);
    *handle = s.lastConduit;
    return SYNCERR_NONE;
  } catch (...) {
    return SYNCERR_UNKNOWN;
  }
}

HOTSYNC_API int32_t SyncUnRegisterConduit(uint32_t handle) {
  try {
    auto& s = session();
    std::lock_guard lock(s.mutex);
    return s.conduits.erase(handle) == 1 ? SYNCERR_NONE : SYNCERR_BAD_ARG;
  } catch (...) {
    return SYNCERR_UNKNOWN;
  }
}

HOTSYNC_API int32_t SyncReadUserInfo(UserInfo* info) {
  if (info == nullptr) return SYNCERR_BAD_ARG;
  return withHandheld([&](Device& hh) { return hh.readUserInfo(info); });
}

HOTSYNC_API uint16_t SyncGetHHOSVersion(uint16_t* minor) {
  uint16_t major = 0;
  uint16_t minorValue = 0;
  withHandheld([&](Device& hh) {
    major = hh.osVersion(&minorValue);
    return SYNCERR_NONE;
  });
  if (minor != nullptr) *minor = minorValue;
  return major;
}

HOTSYNC_API int32_t SyncReadFeature(uint32_t creator, uint16_t featureNum, uint32_t* value) {
  if (value == nullptr) return SYNCERR_BAD_ARG;
  *value = 0;
  return withHandheld([&](Device& hh) { return hh.readFeature(creator, featureNum, value); });
}

HOTSYNC_API int32_t SyncReadSingleCardInfo(CardInfo* info) {
  return withHandheld([&](Device& hh) { return hh.readCardInfo(info); });
}

HOTSYNC_API int32_t SyncReadDBList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) {
  return withHandheld([&](Device& hh) { return hh.readDbList(cardNo, startIndex, flags, list, count); });
}

HOTSYNC_API int32_t SyncOpenDB(const char* name, int32_t cardNo, uint8_t* handle, uint8_t openMode) {
  return withHandheld([&](Device& hh) { return hh.openDb(name, cardNo, handle, openMode); });
}

HOTSYNC_API int32_t SyncCloseDB(uint8_t handle) {
  return withHandheld([&](Device& hh) { return hh.closeDb(handle); });
}

HOTSYNC_API int32_t SyncDeleteDB(const char* name, int32_t cardNo) {
  return withHandheld([&](Device& hh) { return hh.deleteDb(name, cardNo); });
}

HOTSYNC_API int32_t SyncGetDBRecordCount(uint8_t handle, uint16_t* count) {
  return withHandheld([&](Device& hh) { return hh.recordCount(handle, count); });
}

HOTSYNC_API int32_t SyncReadOpenDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) {
  return withHandheld([&](Device& hh) { return hh.openDbInfo(request, info); });
}

HOTSYNC_API int32_t SyncReadRecordByIndex(RecordInfo* rec) {
  return withHandheld([&](Device& hh) { return hh.readRecord(rec); });
}

HOTSYNC_API int32_t SyncWriteRec(RecordInfo* rec) {
  return withHandheld([&](Device& hh) { return hh.writeRecord(rec); });
}

HOTSYNC_API int32_t SyncDeleteRec(RecordInfo* rec) {
  return withHandheld([&](Device& hh) { return hh.deleteRecord(rec); });
}

HOTSYNC_API int32_t SyncPurgeDeletedRecs(uint8_t handle) {
  return withHandheld([&](Device& hh) { return hh.purgeDeleted(handle); });
}

HOTSYNC_API int32_t SyncResetSyncFlags(uint8_t handle) {
  return withHandheld([&](Device& hh) { return hh.resetSyncFlags(handle); });
}

HOTSYNC_API int32_t SyncReadSysDateTime(SysDateTime* dateTime) {
  if (dateTime == nullptr) return SYNCERR_BAD_ARG;
  return withHandheld([&](Device& hh) { return hh.readDateTime(dateTime); });
}

HOTSYNC_API int32_t SyncAddLogEntry(const char* text) {
  if (text == nullptr) return SYNCERR_BAD_ARG;
  return withHandheld([&](Device& hh) {
    const std::string utf8 = tarvo::Cp1252ToUtf8(text);
    hh.appendLog(utf8);
    hotsync::detail::keepHandheldLogEntry(session(), utf8);
    return SYNCERR_NONE;
  });
}

HOTSYNC_API int32_t SyncYieldCycles(uint16_t /*maxMilliseconds*/) {
  try {
    auto& s = session();
    s.yields.fetch_add(1, std::memory_order_relaxed);
    std::function<void()> pump;
    int32_t status = SYNCERR_NONE;
    {
      std::lock_guard lock(s.mutex);
      if (s.handheld) s.handheld->keepAlive();
      // The pump still runs: it is what ends the HotSync of a handheld that went away.
      if (s.handheld && !s.handheld->lostReason().empty()) status = SYNCERR_NOT_CONNECTED;
      if (std::this_thread::get_id() != s.hotsyncThread) return status;
      pump = s.yieldPump;
    }
    if (pump) pump();  // without the mutex: the pump may call back into the library
    return status;
  } catch (...) {
    return SYNCERR_UNKNOWN;
  }
}
