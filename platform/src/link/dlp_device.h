// A handheld on the other end of a link, as a Sync Manager device: each
// operation is one or a few DLP requests. When the link fails
// the handheld counts as gone: the reason is kept, and every later call
// answers SYNCERR_NOT_CONNECTED at once.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "device.h"
#include "dlp/messages.h"
#include "dlp/table.h"
#include "link/link.h"
#include "link/status_codes.h"

namespace hotsync::detail {

class DlpDevice : public Device {
 public:
  // Reads the handheld's system and user information. Throws LinkError or
  // dlp::WireError when the handheld does not answer them.
  explicit DlpDevice(std::unique_ptr<Link> link);

  std::filesystem::path dir() const override { return {}; }
  std::string describe() const override { return "the handheld at " + link_->peer(); }
  std::string userName() const override;

  int32_t readUserInfo(UserInfo* info) override;
  uint16_t osVersion(uint16_t* minor) override;
  int32_t readFeature(uint32_t creator, uint16_t number, uint32_t* value) override;
  int32_t readDateTime(SysDateTime* dateTime) override;

  int32_t readCardInfo(CardInfo* info) override;
  int32_t readDbList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) override;
  int32_t openDb(const char* name, int32_t cardNo, uint8_t* handle, uint8_t mode) override;
  int32_t closeDb(uint8_t handle) override;
  int32_t deleteDb(const char* name, int32_t cardNo) override;
  int32_t recordCount(uint8_t handle, uint16_t* count) override;
  int32_t openDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) override;
  int32_t readRecord(RecordInfo* rec) override;
  int32_t writeRecord(RecordInfo* rec) override;
  int32_t deleteRecord(RecordInfo* rec) override;
  int32_t purgeDeleted(uint8_t handle) override;
  int32_t resetSyncFlags(uint8_t handle) override;
  int32_t readWholeDatabase(uint8_t handle, pdb::Database* db) override;
  int32_t setBackupDate(uint8_t handle, uint32_t palmDate) override;

  bool install(const std::filesystem::path& file, std::string* error) override;
  void appendLog(const std::string& utf8Text) override;
  std::vector<std::string> logLines() const override { return {}; }  // the handheld keeps its log itself
  bool finish(uint16_t endStatus, std::string* error) override;
  void keepAlive() override;
  std::string lostReason() const override { return lost_; }

 private:
  struct OpenDb {
    uint8_t card = 0;
    std::string name;
  };
  // One request and its answer; false when the link is gone (the status to
  // return is SYNCERR_NOT_CONNECTED).
  bool call(const dlp::Request& request, dlp::Response* response);
  // One message of the table; on success `use` takes the answer apart. An
  // answer that does not decode counts as the handheld gone.
  template <typename M, typename Use>
  int32_t ask(const typename M::Query& query, Use&& use) {
    dlp::Response response;
    if (!call(dlp::requestOf<M>(query), &response)) return SYNCERR_NOT_CONNECTED;
    if (response.error != dlp::ErrNone) return syncStatusOf(response.error);
    try {
      return use(M::Answer::decode(response.args));
    } catch (const dlp::WireError& e) {
      lost_ = e.what();
      return SYNCERR_NOT_CONNECTED;
    }
  }
  // A message whose answer carries nothing but its status.
  template <typename M>
  int32_t simple(const typename M::Query& query) {
    return ask<M>(query, [](const typename M::Answer&) { return SYNCERR_NONE; });
  }
  // One answer of the card's list from `start` on: its entries, and where
  // the next answer starts (nullopt: the handheld says there are no more).
  // One answer of the RAM list, or with `rom` of the ROM list (whose
  // failure only means there is nothing there).
  int32_t listPage(uint8_t card, uint16_t start, std::vector<dlp::DbEntry>* entries, std::optional<uint16_t>* next,
                   bool rom = false);
  // The whole list of the card, answer after answer.
  int32_t listAll(uint8_t card, std::vector<dlp::DbEntry>* entries);
  void warnOnce(const std::string& text);

  std::unique_ptr<Link> link_;
  dlp::SysInfo sys_;
  dlp::UserInfo user_;
  std::map<uint8_t, OpenDb> open_;
  std::string lost_;
  bool listMultiple_ = false;  // the handheld takes the request for several entries at once
  std::map<uint8_t, uint16_t> cardDbCounts_;
  std::set<std::string> warned_;
  std::chrono::steady_clock::time_point lastSent_ = std::chrono::steady_clock::now();
};

}  // namespace hotsync::detail
