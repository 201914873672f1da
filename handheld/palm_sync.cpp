#include "handheld/palm_sync.h"

#include "hotsync/instaide.h"
#include "hotsync/syncmgr.h"

int32_t CPalmSync::AddLogEntry(const char* text) { return SyncAddLogEntry(text); }

int32_t CPalmSync::CloseDB(uint8_t handle) { return SyncCloseDB(handle); }

int32_t CPalmSync::DeleteDB(const char* name, int cardNo) { return SyncDeleteDB(name, cardNo); }

int32_t CPalmSync::DeleteRecord(RecordInfo& rec) { return SyncDeleteRec(&rec); }

int32_t CPalmSync::GetDBRecordCount(uint8_t handle, uint16_t& count) { return SyncGetDBRecordCount(handle, &count); }

uint16_t CPalmSync::GetHHOSVersion(uint16_t& minor) { return SyncGetHHOSVersion(&minor); }

int32_t CPalmSync::OpenDB(const char* name, int cardNo, uint8_t& handle, uint8_t openMode) {
  return SyncOpenDB(name, cardNo, &handle, openMode);
}

int32_t CPalmSync::PurgeDeletedRecords(uint8_t handle) { return SyncPurgeDeletedRecs(handle); }

int32_t CPalmSync::ReadDBList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int& count) {
  int32_t n = count;
  const int32_t status = SyncReadDBList(cardNo, startIndex, flags, list, &n);
  count = n;
  return status;
}

int32_t CPalmSync::ReadFeature(uint32_t creator, uint16_t featureNum, uint32_t& value) {
  return SyncReadFeature(creator, featureNum, &value);
}

int32_t CPalmSync::ReadOpenDbInfo(const OpenDbInfoRequest& request, OpenDbInfo& info) {
  return SyncReadOpenDbInfo(&request, &info);
}

int32_t CPalmSync::ReadSingleCardInfo(CardInfo& info) { return SyncReadSingleCardInfo(&info); }

int32_t CPalmSync::ReadSysDateTime(SysDateTime& dateTime) { return SyncReadSysDateTime(&dateTime); }

int32_t CPalmSync::ReadRecordByIndex(RecordInfo& rec) { return SyncReadRecordByIndex(&rec); }

int32_t CPalmSync::ReadUserInfo(UserInfo& info) { return SyncReadUserInfo(&info); }

int32_t CPalmSync::RegisterConduit(uint32_t& handle) { return SyncRegisterConduit(&handle); }

int32_t CPalmSync::ResetSyncFlags(uint8_t handle) { return SyncResetSyncFlags(handle); }

int32_t CPalmSync::UnregisterConduit(uint32_t& handle) { return SyncUnRegisterConduit(handle); }

int32_t CPalmSync::WriteRecord(RecordInfo& rec) { return SyncWriteRec(&rec); }

int32_t CPalmSync::YieldCycles(uint16_t count) { return SyncYieldCycles(count); }

int32_t CPalmSync::InstallFile(std::string target, std::string path, int /*cardNo*/) {
  return PltInstallFile(target.c_str(), path.c_str());
}
