// The simulated handheld in a folder, as a Sync Manager device.
#pragma once

#include <memory>

#include "device.h"
#include "folder/handheld.h"

namespace hotsync::detail {

class FolderDevice : public Device {
 public:
  explicit FolderDevice(std::unique_ptr<Handheld> handheld) : hh_(std::move(handheld)) {}

  std::filesystem::path dir() const override { return hh_->dir(); }
  std::string describe() const override { return "the handheld in " + hh_->dir().string(); }
  std::string userName() const override { return hh_->config().userName; }
  void setFlushEachClose(bool flush) override { hh_->setFlushEachClose(flush); }

  int32_t readUserInfo(UserInfo* info) override;
  uint16_t osVersion(uint16_t* minor) override;
  int32_t readFeature(uint32_t creator, uint16_t number, uint32_t* value) override;
  int32_t readDateTime(SysDateTime* dateTime) override;

  int32_t readCardInfo(CardInfo* info) override { return hh_->readCardInfo(info); }
  int32_t readDbList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) override {
    return hh_->readDbList(cardNo, startIndex, flags, list, count);
  }
  int32_t openDb(const char* name, int32_t cardNo, uint8_t* handle, uint8_t mode) override {
    return hh_->openDb(name, cardNo, handle, mode);
  }
  int32_t closeDb(uint8_t handle) override { return hh_->closeDb(handle); }
  int32_t deleteDb(const char* name, int32_t cardNo) override { return hh_->deleteDb(name, cardNo); }
  int32_t recordCount(uint8_t handle, uint16_t* count) override { return hh_->recordCount(handle, count); }
  int32_t openDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) override {
    return hh_->openDbInfo(request, info);
  }
  int32_t readRecord(RecordInfo* rec) override { return hh_->readRecord(rec); }
  int32_t writeRecord(RecordInfo* rec) override { return hh_->writeRecord(rec); }
  int32_t deleteRecord(RecordInfo* rec) override { return hh_->deleteRecord(rec); }
  int32_t purgeDeleted(uint8_t handle) override { return hh_->purgeDeleted(handle); }
  int32_t resetSyncFlags(uint8_t handle) override { return hh_->resetSyncFlags(handle); }
  int32_t readWholeDatabase(uint8_t handle, pdb::Database* db) override { return hh_->readWhole(handle, db); }
  int32_t setBackupDate(uint8_t handle, uint32_t date) override { return hh_->setBackupDate(handle, date); }

  bool install(const std::filesystem::path& file, std::string* error) override { return hh_->installFile(file, error); }
  void appendLog(const std::string& utf8Text) override { hh_->appendLog(utf8Text); }
  std::vector<std::string> logLines() const override { return hh_->logLines(); }
  // What cannot be folded now stays in the journals for the next connect,
  // so nothing is lost either way.
  bool finish(uint16_t /*endStatus*/, std::string* error) override {
    hh_->foldAll(error);
    return true;
  }

 private:
  std::unique_ptr<Handheld> hh_;
};

}  // namespace hotsync::detail
