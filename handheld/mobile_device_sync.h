// The one interface through which the conduit reaches the handheld.
#pragma once

#include <cstdint>
#include <string>

#include "handheld/palm_records.h"

class CMobileDeviceSync {
 public:
  virtual ~CMobileDeviceSync();

  // Slots 1..21, in this order.
  virtual int32_t AddLogEntry(const char* text) = 0;
  virtual int32_t CloseDB(uint8_t handle) = 0;
  virtual int32_t DeleteDB(const char* name, int cardNo) = 0;
  virtual int32_t DeleteRecord(RecordInfo& rec) = 0;
  virtual int32_t GetDBRecordCount(uint8_t handle, uint16_t& count) = 0;
  virtual uint16_t GetHHOSVersion(uint16_t& minor) = 0;
  virtual int32_t OpenDB(const char* name, int cardNo, uint8_t& handle, uint8_t openMode) = 0;
  virtual int32_t PurgeDeletedRecords(uint8_t handle) = 0;
  virtual int32_t ReadDBList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int& count) = 0;
  virtual int32_t ReadFeature(uint32_t creator, uint16_t featureNum, uint32_t& value) = 0;
  virtual int32_t ReadOpenDbInfo(const OpenDbInfoRequest& request, OpenDbInfo& info) = 0;
  virtual int32_t ReadSingleCardInfo(CardInfo& info) = 0;
  virtual int32_t ReadSysDateTime(SysDateTime& dateTime) = 0;
  virtual int32_t ReadRecordByIndex(RecordInfo& rec) = 0;
  virtual int32_t ReadUserInfo(UserInfo& info) = 0;
  virtual int32_t RegisterConduit(uint32_t& handle) = 0;
  virtual int32_t ResetSyncFlags(uint8_t handle) = 0;
  virtual int32_t UnregisterConduit(uint32_t& handle) = 0;
  virtual int32_t WriteRecord(RecordInfo& rec) = 0;
  virtual int32_t YieldCycles(uint16_t count) = 0;
  virtual int32_t InstallFile(std::string target, std::string path, int cardNo) = 0;
};

// The handheld access object of the running HotSync; null outside one.
// Created and destroyed only by OpenConduit.
extern CMobileDeviceSync* g_pMobileDeviceSync;
