// The handheld access interface over the platform's Sync Manager: every
// operation goes straight to one library function, arguments and status
// code unchanged.
#pragma once

#include "handheld/mobile_device_sync.h"

class CPalmSync : public virtual CMobileDeviceSync {
 public:
  int32_t AddLogEntry(const char* text) override;
  int32_t CloseDB(uint8_t handle) override;
  int32_t DeleteDB(const char* name, int cardNo) override;
  int32_t DeleteRecord(RecordInfo& rec) override;
  int32_t GetDBRecordCount(uint8_t handle, uint16_t& count) override;
  uint16_t GetHHOSVersion(uint16_t& minor) override;
  int32_t OpenDB(const char* name, int cardNo, uint8_t& handle, uint8_t openMode) override;
  int32_t PurgeDeletedRecords(uint8_t handle) override;
  int32_t ReadDBList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int& count) override;
  int32_t ReadFeature(uint32_t creator, uint16_t featureNum, uint32_t& value) override;
  int32_t ReadOpenDbInfo(const OpenDbInfoRequest& request, OpenDbInfo& info) override;
  int32_t ReadSingleCardInfo(CardInfo& info) override;
  int32_t ReadSysDateTime(SysDateTime& dateTime) override;
  int32_t ReadRecordByIndex(RecordInfo& rec) override;
  int32_t ReadUserInfo(UserInfo& info) override;
  int32_t RegisterConduit(uint32_t& handle) override;
  int32_t ResetSyncFlags(uint8_t handle) override;
  int32_t UnregisterConduit(uint32_t& handle) override;
  int32_t WriteRecord(RecordInfo& rec) override;
  int32_t YieldCycles(uint16_t count) override;
  // The card number only chooses the conduit's log text; the install aide
  // takes the target and the file.
  int32_t InstallFile(std::string target, std::string path, int cardNo) override;
};
