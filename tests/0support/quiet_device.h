// A handheld connection that answers every call with success and does
// nothing, for tests with no handheld; they override the calls they count.
#pragma once

#include "handheld/mobile_device_sync.h"

namespace tarvo::test {

class QuietDevice : public CMobileDeviceSync {
 public:
  int32_t AddLogEntry(const char*) override { return 0; }
  int32_t CloseDB(uint8_t) override { return 0; }
  int32_t DeleteDB(const char*, int) override { return 0; }
  int32_t DeleteRecord(RecordInfo&) override { return 0; }
  int32_t GetDBRecordCount(uint8_t, uint16_t&) override { return 0; }
  uint16_t GetHHOSVersion(uint16_t&) override { return 0; }
  int32_t OpenDB(const char*, int, uint8_t&, uint8_t) override { return 0; }
  int32_t PurgeDeletedRecords(uint8_t) override { return 0; }
  int32_t ReadDBList(uint8_t, uint16_t, uint32_t, CDbList*, int&) override { return 0; }
  int32_t ReadFeature(uint32_t, uint16_t, uint32_t&) override { return 0; }
  int32_t ReadOpenDbInfo(const OpenDbInfoRequest&, OpenDbInfo&) override { return 0; }
  int32_t ReadSingleCardInfo(CardInfo&) override { return 0; }
  int32_t ReadSysDateTime(SysDateTime&) override { return 0; }
  int32_t ReadRecordByIndex(RecordInfo&) override { return 0; }
  int32_t ReadUserInfo(UserInfo&) override { return 0; }
  int32_t RegisterConduit(uint32_t&) override { return 0; }
  int32_t ResetSyncFlags(uint8_t) override { return 0; }
  int32_t UnregisterConduit(uint32_t&) override { return 0; }
  int32_t WriteRecord(RecordInfo&) override { return 0; }
  int32_t YieldCycles(uint16_t) override { return 0; }
  int32_t InstallFile(std::string, std::string, int) override { return 0; }
};

}  // namespace tarvo::test
