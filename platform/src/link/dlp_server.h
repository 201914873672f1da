// The handheld's side of a HotSync over any link: answers the desktop's DLP
// requests from a simulated handheld until the desktop ends the sync.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "dlp/packet.h"
#include "dlp/table.h"
#include "folder/handheld.h"
#include "link/link.h"
#include "pdb/pdb.h"

namespace hotsync::detail {

class DlpServer {
 public:
  using Notice = std::function<void(const std::string&)>;
  DlpServer(Handheld& handheld, Link& link, Notice notice) : hh_(handheld), link_(link), notice_(std::move(notice)) {}
  // Serves requests until EndOfSync (true) or the link fails (throws
  // LinkError or dlp::WireError). Databases still open are closed.
  bool run();
  // Answers one request (exposed for tests).
  dlp::Response answer(const dlp::Request& request);
  bool ended() const { return ended_; }
  // How the desktop said the HotSync ended (its end-of-sync status).
  uint16_t endStatus() const { return endStatus_; }
  uint64_t answered() const { return answered_; }
  // Hangs up after answering `count` requests, as a handheld taken out of
  // reach would (0: never).
  void hangUpAfter(uint64_t count) { hangUpAfter_ = count; }

 private:
  // A handle given to the desktop: a database of the handheld, or one being
  // created, which reaches the handheld whole when it is closed.
  struct Open {
    uint8_t handheldHandle = 0;
    std::unique_ptr<pdb::Database> created;
    int32_t card = 0;
  };

  dlp::Response handle(const dlp::Request& request);
  template <typename M>
  dlp::Response readBlock(const dlp::Request& request, std::vector<uint8_t> pdb::Database::*block);
  template <typename M>
  dlp::Response writeBlock(const dlp::Request& request, std::vector<uint8_t> pdb::Database::*block);
  dlp::Error readRecord(const dlp::msg::ReadRecord::Query& query, dlp::msg::ReadRecord::Answer& answer);
  dlp::Error writeRecord(const dlp::msg::WriteRecord::Query& query, dlp::msg::WriteRecord::Answer& answer);
  dlp::Error readResource(const dlp::msg::ReadResource::Query& query, dlp::msg::ReadResource::Answer& answer);
  Open* open(uint8_t handle);
  const pdb::Database* database(const Open& open) const;
  uint8_t newHandle();
  dlp::Error close(uint8_t handle);
  void closeAll();

  Handheld& hh_;
  Link& link_;
  Notice notice_;
  std::map<uint8_t, Open> open_;
  uint8_t lastHandle_ = 0;
  int64_t clockShift_ = 0;  // Palm seconds set by SetSysDateTime, for the rest of the link
  bool ended_ = false;
  uint16_t endStatus_ = 0;
  uint64_t hangUpAfter_ = 0;
  uint64_t answered_ = 0;
};

}  // namespace hotsync::detail
