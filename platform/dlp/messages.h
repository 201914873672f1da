// The Desktop Link Protocol's commands, error codes and the records its
// messages carry (dlp/table.h puts them into messages), shared by the
// handheld and the desktop side so both read and write each layout in one
// place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dlp/packet.h"
#include "dlp/wire.h"

namespace dlp {

enum Command : uint8_t {
  ReadUserInfo = 0x10,
  WriteUserInfo = 0x11,
  ReadSysInfo = 0x12,
  GetSysDateTime = 0x13,
  SetSysDateTime = 0x14,
  ReadStorageInfo = 0x15,
  ReadDBList = 0x16,
  OpenDB = 0x17,
  CreateDB = 0x18,
  CloseDB = 0x19,
  DeleteDB = 0x1A,
  ReadAppBlock = 0x1B,
  WriteAppBlock = 0x1C,
  ReadSortBlock = 0x1D,
  WriteSortBlock = 0x1E,
  ReadRecord = 0x20,
  WriteRecord = 0x21,
  DeleteRecord = 0x22,
  ReadResource = 0x23,
  WriteResource = 0x24,
  DeleteResource = 0x25,
  CleanUpDatabase = 0x26,
  ResetSyncFlags = 0x27,
  AddSyncLogEntry = 0x2A,
  ReadOpenDBInfo = 0x2B,
  OpenConduit = 0x2E,
  EndOfSync = 0x2F,
  ReadFeature = 0x38,
  SetDBInfo = 0x3A,  // DLP 1.2 and later
};

enum Error : uint16_t {
  ErrNone = 0,
  ErrSystem = 1,
  ErrIllegalRequest = 2,
  ErrMemory = 3,
  ErrParam = 4,
  ErrNotFound = 5,
  ErrNoneOpen = 6,
  ErrAlreadyOpen = 7,
  ErrTooManyOpen = 8,
  ErrExists = 9,
  ErrOpen = 10,
  ErrDeleted = 11,
  ErrBusy = 12,
  ErrNotSupported = 13,
  ErrReadOnly = 15,
  ErrSpace = 16,
  ErrLimit = 17,
  ErrSync = 18,
  ErrArgument = 20,
  ErrSize = 21,
};

// ReadDBList flags.
constexpr uint8_t kListRam = 0x80;
constexpr uint8_t kListRom = 0x40;
constexpr uint8_t kListMultiple = 0x20;
// ReadRecord argument ids: by id (the first) or by index.
constexpr uint8_t kArgById = kFirstArgId;
constexpr uint8_t kArgByIndex = kFirstArgId + 1;
// The DLP version the handheld side reports.
constexpr uint16_t kVersionMajor = 1;
constexpr uint16_t kVersionMinor = 1;

// One database of a ReadDBList answer.
struct DbEntry {
  uint8_t miscFlags = 0;
  uint16_t flags = 0;
  uint32_t type = 0;
  uint32_t creator = 0;
  uint16_t version = 0;
  uint32_t modNumber = 0;
  DateTime created, modified, backedUp;
  uint16_t index = 0;
  std::string name;
  bool operator==(const DbEntry&) const = default;
};
void putDbEntry(Writer& w, const DbEntry& entry);
DbEntry getDbEntry(Reader& r);

struct UserInfo {
  uint32_t userId = 0;
  uint32_t viewerId = 0;
  uint32_t lastSyncPc = 0;
  DateTime lastGoodSync, lastSync;
  std::string name;
  std::vector<uint8_t> password;
  bool operator==(const UserInfo&) const = default;
};
void putUserInfo(Writer& w, const UserInfo& user);
UserInfo getUserInfo(Reader& r);

struct SysInfo {
  uint32_t romVersion = 0;  // 0xMMmm.... as the handheld's ROM reports it
  uint32_t locale = 0;
  std::string productId;
  uint16_t dlpMajor = kVersionMajor, dlpMinor = kVersionMinor;
  uint32_t maxRecordSize = 0xFFFF;
};

struct StorageInfo {
  uint8_t card = 0;
  uint16_t version = 1;
  DateTime created;
  uint32_t romSize = 0, ramSize = 0, freeRam = 0;
  std::string name, maker;
  uint16_t romDbCount = 0, ramDbCount = 0;
  bool more = false;  // cards after this one
};

// A one-line name for a status: "not found", "read-only", ...
std::string errorText(uint16_t error);

}  // namespace dlp
