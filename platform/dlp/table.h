// The DLP message table: for each request the desktop sends, the layout of
// its arguments (Query) and of the handheld's answer (Answer), each with its
// encoder and decoder side by side. The desktop, the played handheld and the
// fuzz target all go through these, so a layout is written once.
//
// Decoders are generous where real handhelds and desktops differ: arguments
// they do not know are ignored, as are bytes after the fields they read. A
// layout too short for its fields throws WireError.
//
// Adding a message: a struct below with kCommand, Query and Answer (NoArgs
// when a side carries nothing), and the four functions in table_*.cpp.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dlp/messages.h"
#include "dlp/packet.h"

namespace dlp {

using Args = std::span<const Arg>;

// A side of a message that carries no arguments.
struct NoArgs {
  std::vector<Arg> encode() const { return {}; }
  static NoArgs decode(Args) { return {}; }
};

template <typename M>
Request requestOf(const typename M::Query& query) {
  return Request{M::kCommand, query.encode()};
}
template <typename M>
Response answerOf(const typename M::Answer& answer) {
  return Response{M::kCommand, ErrNone, answer.encode()};
}

namespace msg {

struct ReadUserInfo {
  static constexpr Command kCommand = dlp::ReadUserInfo;
  using Query = NoArgs;
  struct Answer {
    UserInfo user;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct ReadSysInfo {
  static constexpr Command kCommand = dlp::ReadSysInfo;
  // The desktop's protocol version; older desktops send none.
  struct Query {
    uint16_t dlpMajor = 1, dlpMinor = 2;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    SysInfo info;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct GetSysDateTime {
  static constexpr Command kCommand = dlp::GetSysDateTime;
  using Query = NoArgs;
  struct Answer {
    DateTime time;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct SetSysDateTime {
  static constexpr Command kCommand = dlp::SetSysDateTime;
  struct Query {
    DateTime time;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

struct ReadStorageInfo {
  static constexpr Command kCommand = dlp::ReadStorageInfo;
  struct Query {
    uint8_t card = 0;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  // One card. `counted`: the handheld sent the database counts (older ones do not).
  struct Answer {
    uint8_t lastCard = 0;
    StorageInfo card;
    bool counted = true;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct ReadFeature {
  static constexpr Command kCommand = dlp::ReadFeature;
  struct Query {
    uint32_t creator = 0;
    uint16_t number = 0;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    uint32_t value = 0;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct ReadDBList {
  static constexpr Command kCommand = dlp::ReadDBList;
  struct Query {
    uint8_t flags = kListRam;  // kListRam, kListRom, kListMultiple
    uint8_t card = 0;
    uint16_t start = 0;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    uint16_t lastIndex = 0;
    bool more = false;  // databases after the last one
    std::vector<DbEntry> entries;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct OpenDB {
  static constexpr Command kCommand = dlp::OpenDB;
  struct Query {
    uint8_t card = 0;
    uint8_t mode = 0;
    std::string name;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    uint8_t handle = 0;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct CreateDB {
  static constexpr Command kCommand = dlp::CreateDB;
  struct Query {
    uint32_t creator = 0;
    uint32_t type = 0;
    uint8_t card = 0;
    uint16_t attributes = 0;
    uint16_t version = 0;
    std::string name;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = OpenDB::Answer;
};

struct CloseDB {
  static constexpr Command kCommand = dlp::CloseDB;
  // One database, or every open one (`all`, a second argument of its own).
  struct Query {
    uint8_t handle = 0;
    bool all = false;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

struct DeleteDB {
  static constexpr Command kCommand = dlp::DeleteDB;
  struct Query {
    uint8_t card = 0;
    std::string name;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

// A request that names an open database and nothing else.
struct HandleQuery {
  uint8_t handle = 0;
  std::vector<Arg> encode() const;
  static HandleQuery decode(Args args);
};

struct ReadOpenDBInfo {
  static constexpr Command kCommand = dlp::ReadOpenDBInfo;
  using Query = HandleQuery;
  struct Answer {
    uint16_t count = 0;  // records or resources
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct CleanUpDatabase {
  static constexpr Command kCommand = dlp::CleanUpDatabase;
  using Query = HandleQuery;
  using Answer = NoArgs;
};

struct ResetSyncFlags {
  static constexpr Command kCommand = dlp::ResetSyncFlags;
  using Query = HandleQuery;
  using Answer = NoArgs;
};

// The application or sort block: a slice from `offset`, and the block's size.
struct ReadAppBlock {
  static constexpr Command kCommand = dlp::ReadAppBlock;
  struct Query {
    uint8_t handle = 0;
    uint16_t offset = 0;
    uint16_t length = 0xFFFF;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    uint16_t size = 0;
    std::vector<uint8_t> data;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};
struct ReadSortBlock : ReadAppBlock {
  static constexpr Command kCommand = dlp::ReadSortBlock;
};

struct WriteAppBlock {
  static constexpr Command kCommand = dlp::WriteAppBlock;
  struct Query {
    uint8_t handle = 0;
    std::vector<uint8_t> data;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};
struct WriteSortBlock : WriteAppBlock {
  static constexpr Command kCommand = dlp::WriteSortBlock;
};

struct ReadRecord {
  static constexpr Command kCommand = dlp::ReadRecord;
  // By index (`byIndex`) or by unique id; a slice from `offset`.
  struct Query {
    uint8_t handle = 0;
    bool byIndex = true;
    uint16_t index = 0;
    uint32_t id = 0;
    uint16_t offset = 0;
    uint16_t length = 0xFFFF;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  // `size` is the whole record's; `data` the slice asked for.
  struct Answer {
    uint32_t id = 0;
    uint16_t index = 0;
    uint16_t size = 0;
    uint8_t attributes = 0;
    uint8_t category = 0;
    std::vector<uint8_t> data;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct WriteRecord {
  static constexpr Command kCommand = dlp::WriteRecord;
  // Unique id 0 asks the handheld for a new one.
  struct Query {
    uint8_t handle = 0;
    uint32_t id = 0;
    uint8_t attributes = 0;
    uint8_t category = 0;
    std::vector<uint8_t> data;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    uint32_t id = 0;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct DeleteRecord {
  static constexpr Command kCommand = dlp::DeleteRecord;
  struct Query {
    uint8_t handle = 0;
    uint8_t flags = 0;  // 0: the one record
    uint32_t id = 0;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

struct ReadResource {
  static constexpr Command kCommand = dlp::ReadResource;
  // By index (`byIndex`) or by type and id; a slice from `offset`.
  struct Query {
    uint8_t handle = 0;
    bool byIndex = true;
    uint16_t index = 0;
    uint32_t type = 0;
    uint16_t id = 0;
    uint16_t offset = 0;
    uint16_t length = 0xFFFF;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  struct Answer {
    uint32_t type = 0;
    uint16_t id = 0;
    uint16_t index = 0;
    uint16_t size = 0;
    std::vector<uint8_t> data;
    std::vector<Arg> encode() const;
    static Answer decode(Args args);
  };
};

struct WriteResource {
  static constexpr Command kCommand = dlp::WriteResource;
  struct Query {
    uint8_t handle = 0;
    uint32_t type = 0;
    uint16_t id = 0;
    std::vector<uint8_t> data;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

// Changes fields of an open database's header; the others stay: version
// 0xFFFF, a date of year 0, type or creator 0 and an empty name mean
// "unchanged". Handhelds before DLP 1.2 do not know it.
struct SetDBInfo {
  static constexpr Command kCommand = dlp::SetDBInfo;
  struct Query {
    uint8_t handle = 0;
    uint16_t clearFlags = 0;
    uint16_t setFlags = 0;
    uint16_t version = 0xFFFF;
    DateTime created, modified, backedUp;
    uint32_t type = 0;
    uint32_t creator = 0;
    std::string name;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

struct AddSyncLogEntry {
  static constexpr Command kCommand = dlp::AddSyncLogEntry;
  struct Query {
    std::string text;  // Windows-1252
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

struct OpenConduit {
  static constexpr Command kCommand = dlp::OpenConduit;
  using Query = NoArgs;
  using Answer = NoArgs;
};

// How the desktop says the HotSync ended; the handheld shows it.
enum EndOfSyncStatus : uint16_t {
  kEndNormal = 0,
  kEndOutOfMemory = 1,
  kEndUserCancelled = 2,
  kEndOther = 3,  // any failure
};

struct EndOfSync {
  static constexpr Command kCommand = dlp::EndOfSync;
  struct Query {
    uint16_t status = kEndNormal;
    std::vector<Arg> encode() const;
    static Query decode(Args args);
  };
  using Answer = NoArgs;
};

}  // namespace msg

}  // namespace dlp
