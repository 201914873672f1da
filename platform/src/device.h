// What the Sync Manager works on: a connected handheld, either a folder on
// this machine or a live handheld on a link (serial, USB or network). Both
// answer with the Sync Manager's status codes. Not thread-safe; the
// library's mutex guards it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "hotsync/sync_types.h"
#include "pdb/pdb.h"

namespace hotsync::detail {

class Device {
 public:
  virtual ~Device() = default;

  // The handheld's folder; empty for one on the network.
  virtual std::filesystem::path dir() const = 0;
  // "the handheld in DIR" or "the handheld at ADDRESS", for messages.
  virtual std::string describe() const = 0;
  virtual std::string userName() const = 0;  // UTF-8
  virtual void setFlushEachClose(bool /*flush*/) {}

  virtual int32_t readUserInfo(UserInfo* info) = 0;
  virtual uint16_t osVersion(uint16_t* minor) = 0;
  virtual int32_t readFeature(uint32_t creator, uint16_t number, uint32_t* value) = 0;
  virtual int32_t readDateTime(SysDateTime* dateTime) = 0;

  virtual int32_t readCardInfo(CardInfo* info) = 0;
  virtual int32_t readDbList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) = 0;
  virtual int32_t openDb(const char* name, int32_t cardNo, uint8_t* handle, uint8_t mode) = 0;
  virtual int32_t closeDb(uint8_t handle) = 0;
  virtual int32_t deleteDb(const char* name, int32_t cardNo) = 0;
  virtual int32_t recordCount(uint8_t handle, uint16_t* count) = 0;
  virtual int32_t openDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) = 0;
  virtual int32_t readRecord(RecordInfo* rec) = 0;
  virtual int32_t writeRecord(RecordInfo* rec) = 0;
  virtual int32_t deleteRecord(RecordInfo* rec) = 0;
  virtual int32_t purgeDeleted(uint8_t handle) = 0;
  virtual int32_t resetSyncFlags(uint8_t handle) = 0;
  // The whole database behind an open handle: header, app and sort info,
  // every record or resource.
  virtual int32_t readWholeDatabase(uint8_t /*handle*/, pdb::Database* /*db*/) { return SYNCERR_UNKNOWN; }
  // Sets the backup date of the database behind an open handle without
  // counting as a modification.
  virtual int32_t setBackupDate(uint8_t /*handle*/, uint32_t /*palmDate*/) { return SYNCERR_UNKNOWN; }

  // Puts the database file `file` on card 0, replacing one of the same name there.
  virtual bool install(const std::filesystem::path& file, std::string* error) = 0;
  virtual void appendLog(const std::string& utf8Text) = 0;
  virtual std::vector<std::string> logLines() const = 0;
  // Ends the HotSync: every change kept, the handheld told how it ended
  // (`endStatus`: 0 normal, 2 cancelled, 3 failed). False with *error when
  // that fails.
  virtual bool finish(uint16_t endStatus, std::string* error) = 0;
  // Tells a handheld that waits that the desktop is still there.
  virtual void keepAlive() {}
  // Why the handheld is gone, when it went in the middle of the HotSync.
  virtual std::string lostReason() const { return {}; }
};

}  // namespace hotsync::detail
