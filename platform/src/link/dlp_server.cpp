#include "link/dlp_server.h"

#include <algorithm>
#include <cstring>
#include <ctime>

#include "dlp/messages.h"
#include "text/cp1252.h"

namespace hotsync::detail {

namespace {

using dlp::Reader;
using dlp::Writer;

// The Sync Manager's status as the handheld would answer it.
uint16_t toDlp(int32_t status) {
  switch (status) {
    case SYNCERR_NONE:
      return dlp::ErrNone;
    case SYNCERR_NOT_FOUND:
      return dlp::ErrNotFound;
    case SYNCERR_FILE_NOT_OPEN:
      return dlp::ErrNoneOpen;
    case SYNCERR_FILE_OPEN:
      return dlp::ErrOpen;
    case SYNCERR_READ_ONLY:
      return dlp::ErrReadOnly;
    case SYNCERR_NOT_ENOUGH_SPACE:
      return dlp::ErrSpace;
    case SYNCERR_LIMIT_EXCEEDED:
      return dlp::ErrLimit;
    case SYNCERR_BAD_ARG:
      return dlp::ErrParam;
    case SYNCERR_LOCAL_BUFF_TOO_SMALL:
      return dlp::ErrSize;
    default:
      return dlp::ErrSystem;
  }
}

dlp::Response reply(const dlp::Request& request, uint16_t error, std::vector<uint8_t> data = {}, bool withArg = false) {
  dlp::Response r{request.command, error, {}};
  if (error == dlp::ErrNone && (withArg || !data.empty())) r.args.push_back({dlp::kFirstArgId, std::move(data)});
  return r;
}

dlp::DbEntry entryOf(const CDbList& e) {
  dlp::DbEntry d;
  d.miscFlags = 0x40;  // in RAM
  d.flags = e.m_DbFlags;
  d.type = e.m_DbType;
  d.creator = e.m_Creator;
  d.version = e.m_Version;
  d.modNumber = e.m_ModNumber;
  d.created = dlp::dateFromPalm(e.m_CreateDate);
  d.modified = dlp::dateFromPalm(e.m_ModDate);
  d.backedUp = dlp::dateFromPalm(e.m_BackupDate);
  d.index = e.m_Index;
  d.name.assign(e.m_Name, ::strnlen(e.m_Name, sizeof e.m_Name));
  return d;
}

// A record or resource slice: from `offset`, at most `length` bytes.
std::span<const uint8_t> slice(const std::vector<uint8_t>& data, std::size_t offset, std::size_t length) {
  if (offset >= data.size()) return {};
  return std::span(data).subspan(offset, std::min(length, data.size() - offset));
}

}  // namespace

bool DlpServer::run() {
  try {
    while (!ended_) {
      const dlp::Request request = dlp::decodeRequest(link_.receive());
      link_.send(dlp::encodeResponse(answer(request)));
      if (++answered_ == hangUpAfter_ && !ended_)
        throw LinkError("hung up after " + std::to_string(answered_) + " requests");
    }
  } catch (...) {
    closeAll();
    throw;
  }
  closeAll();
  return true;
}

DlpServer::Open* DlpServer::open(uint8_t handle) {
  const auto it = open_.find(handle);
  return it == open_.end() ? nullptr : &it->second;
}

const pdb::Database* DlpServer::database(const Open& o) const {
  return o.created ? o.created.get() : hh_.openDatabase(o.handheldHandle);
}

uint8_t DlpServer::newHandle() {
  do {
    lastHandle_ = static_cast<uint8_t>(lastHandle_ + 1);
  } while (lastHandle_ == 0 || open_.contains(lastHandle_));
  return lastHandle_;
}

uint16_t DlpServer::close(uint8_t handle) {
  Open* o = open(handle);
  if (o == nullptr) return dlp::ErrNoneOpen;
  uint16_t status = dlp::ErrNone;
  if (o->created) {
    std::string error;
    try {
      if (!hh_.install(*o->created, pdb::serialize(*o->created), &error)) status = dlp::ErrSpace;
    } catch (const std::exception& e) {
      error = e.what();
      status = dlp::ErrParam;
    }
    if (status != dlp::ErrNone && notice_) notice_("cannot keep the new database " + o->created->name + ": " + error);
  } else {
    status = toDlp(hh_.closeDb(o->handheldHandle));
  }
  open_.erase(handle);
  return status;
}

void DlpServer::closeAll() {
  while (!open_.empty()) close(open_.begin()->first);
}

dlp::Response DlpServer::answer(const dlp::Request& request) {
  static const dlp::Arg kNone;
  const dlp::Arg* arg = request.find(dlp::kFirstArgId);
  if (arg == nullptr) arg = request.args.empty() ? &kNone : &request.args.front();
  try {
    return handle(request, *arg);
  } catch (const dlp::WireError&) {
    return reply(request, dlp::ErrParam);  // an argument too short for its command
  }
}

dlp::Response DlpServer::handle(const dlp::Request& request, const dlp::Arg& arg) {
  Reader in(arg.data);
  Writer out;
  const DeviceConfig& config = hh_.config();
  switch (request.command) {
    case dlp::ReadUserInfo: {
      dlp::UserInfo user;
      user.userId = config.userId;
      user.lastSyncPc = config.lastSyncPc;
      user.name = tarvo::Utf8ToCp1252(config.userName);
      dlp::putUserInfo(out, user);
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::ReadSysInfo: {
      dlp::SysInfo info;
      // major.minor, release stage
      info.romVersion = (uint32_t{config.osMajor} << 24) | (uint32_t{config.osMinor & 0xFu} << 20) | 0x3000u;
      return dlp::Response{request.command, dlp::ErrNone, dlp::encodeSysInfo(info)};
    }
    case dlp::GetSysDateTime: {
      const std::time_t now = static_cast<std::time_t>(hh_.unixNow() + clockShift_);
      std::tm local{};
      localtime_r(&now, &local);
      out.date(dlp::dateFromTm(local));
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::SetSysDateTime: {
      const dlp::DateTime d = in.date();
      std::tm local = dlp::tmFromDate(d);
      local.tm_isdst = -1;
      const std::time_t wanted = std::mktime(&local);
      if (d.month < 1 || d.month > 12 || wanted == static_cast<std::time_t>(-1)) return reply(request, dlp::ErrParam);
      clockShift_ = static_cast<int64_t>(wanted) - hh_.unixNow() + clockShift_;
      if (notice_) notice_("the desktop set the clock for this HotSync");
      return reply(request, dlp::ErrNone);
    }
    case dlp::ReadStorageInfo: {
      CardInfo card{};
      card.m_CardNo = in.u8();
      if (const int32_t status = hh_.readCardInfo(&card); status != SYNCERR_NONE) return reply(request, toDlp(status));
      CardInfo next{};
      next.m_CardNo = static_cast<uint8_t>(card.m_CardNo + 1);
      dlp::StorageInfo info;
      info.card = card.m_CardNo;
      info.version = card.m_CardVersion;
      info.romSize = card.m_RomSize;
      info.ramSize = card.m_RamSize;
      info.freeRam = card.m_FreeRam;
      info.name.assign(card.m_CardName, ::strnlen(card.m_CardName, sizeof card.m_CardName));
      info.maker.assign(card.m_ManufName, ::strnlen(card.m_ManufName, sizeof card.m_ManufName));
      info.ramDbCount = card.m_ramDbCount;
      info.more = hh_.readCardInfo(&next) == SYNCERR_NONE;
      return dlp::Response{request.command, dlp::ErrNone, dlp::encodeStorageInfo(info, card.m_CardNo)};
    }
    case dlp::ReadDBList: {
      const uint8_t flags = in.u8();
      const uint8_t card = in.u8();
      const uint16_t start = in.u16();
      if ((flags & dlp::kListRam) == 0) return reply(request, dlp::ErrNotFound);  // no ROM databases here
      // One entry, or as many as fit one answer.
      std::vector<CDbList> entries((flags & dlp::kListMultiple) ? 64 : 1);
      int32_t count = static_cast<int32_t>(entries.size());
      if (const int32_t status = hh_.readDbList(card, start, DB_LIST_RAM, entries.data(), &count);
          status != SYNCERR_NONE || count == 0) {
        return reply(request, dlp::ErrNotFound);
      }
      CDbList probe{};
      int32_t more = 1;
      const uint16_t last = entries[static_cast<std::size_t>(count - 1)].m_Index;
      const bool hasMore =
          hh_.readDbList(card, static_cast<uint16_t>(last + 1), DB_LIST_RAM, &probe, &more) == SYNCERR_NONE && more > 0;
      out.u16(last).u8(hasMore ? 0x80 : 0).u8(static_cast<uint8_t>(count));
      for (int32_t i = 0; i < count; ++i) dlp::putDbEntry(out, entryOf(entries[static_cast<std::size_t>(i)]));
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::OpenDB: {
      const uint8_t card = in.u8();
      const uint8_t mode = in.u8();
      const std::string name = in.text();
      uint8_t h = 0;
      if (const int32_t status = hh_.openDb(name.c_str(), card, &h, mode); status != SYNCERR_NONE) {
        return reply(request, toDlp(status));
      }
      const uint8_t mine = newHandle();
      open_[mine] = Open{h, nullptr, card};
      return reply(request, dlp::ErrNone, {mine});
    }
    case dlp::CreateDB: {
      auto db = std::make_unique<pdb::Database>();
      db->creator = in.u32();
      db->type = in.u32();
      const uint8_t card = in.u8();
      in.u8();
      db->attributes = static_cast<uint16_t>(in.u16() & ~0x8000u);  // not "open"
      db->version = in.u16();
      db->name = in.text();
      if (db->name.empty() || db->name.size() > 31) return reply(request, dlp::ErrParam);
      if (card != 0) return reply(request, dlp::ErrNotFound);  // new databases go to the first card
      db->creationDate = db->modificationDate = hh_.palmNow();
      uint8_t probe = 0;
      if (hh_.openDb(db->name.c_str(), 0, &probe, eDbRead) == SYNCERR_NONE) {
        hh_.closeDb(probe);
        return reply(request, dlp::ErrExists);
      }
      const uint8_t mine = newHandle();
      open_[mine] = Open{0, std::move(db), 0};
      return reply(request, dlp::ErrNone, {mine});
    }
    case dlp::CloseDB: {
      if (request.find(dlp::kFirstArgId + 1) != nullptr) {  // close all
        closeAll();
        return reply(request, dlp::ErrNone);
      }
      return reply(request, close(in.u8()));
    }
    case dlp::DeleteDB: {
      const uint8_t card = in.u8();
      in.u8();
      const std::string name = in.text();
      return reply(request, toDlp(hh_.deleteDb(name.c_str(), card)));
    }
    case dlp::ReadAppBlock:
    case dlp::ReadSortBlock: {
      Open* o = open(in.u8());
      in.u8();
      const uint16_t offset = in.u16();
      const uint16_t length = in.u16();
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      const pdb::Database* db = database(*o);
      if (db == nullptr) return reply(request, dlp::ErrNotFound);  // its file could not be read
      const auto& block = request.command == dlp::ReadAppBlock ? db->appInfo : db->sortInfo;
      if (block.empty()) return reply(request, dlp::ErrNotFound);
      out.u16(static_cast<uint16_t>(std::min<std::size_t>(block.size(), 0xFFFF))).bytes(slice(block, offset, length));
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::WriteAppBlock:
    case dlp::WriteSortBlock: {
      Open* o = open(in.u8());
      in.u8();
      const uint16_t length = in.u16();
      const auto data = in.take(length);
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      if (!o->created) return reply(request, dlp::ErrNotSupported);  // only while installing a database
      (request.command == dlp::WriteAppBlock ? o->created->appInfo : o->created->sortInfo)
          .assign(data.begin(), data.end());
      return reply(request, dlp::ErrNone);
    }
    case dlp::ReadRecord: {
      Open* o = open(in.u8());
      in.u8();
      const bool byIndex = arg.id == dlp::kArgByIndex;
      const uint32_t key = byIndex ? in.u16() : in.u32();
      const uint16_t offset = in.u16();
      const uint16_t length = in.u16();
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      const pdb::Database* db = database(*o);
      if (db == nullptr) return reply(request, dlp::ErrNotFound);  // its file could not be read
      if (db->isResourceDb()) return reply(request, dlp::ErrNotSupported);
      std::size_t index = key;
      if (!byIndex) {
        const auto it = std::find_if(db->records.begin(), db->records.end(),
                                     [&](const pdb::Record& r) { return r.uniqueId == key; });
        index = static_cast<std::size_t>(it - db->records.begin());
      }
      if (index >= db->records.size()) return reply(request, dlp::ErrNotFound);
      const pdb::Record& r = db->records[index];
      if ((r.attributes & pdb::kRecSecret) && !o->created) {
        // Secret records only through a handle that may show them.
        std::vector<uint8_t> buffer(0xFFFF);
        RecordInfo info{};
        info.m_FileHandle = o->handheldHandle;
        info.m_RecIndex = static_cast<uint16_t>(index);
        info.m_TotalBytes = 0xFFFF;
        info.m_pBytes = buffer.data();
        if (const int32_t status = hh_.readRecord(&info); status != SYNCERR_NONE) return reply(request, toDlp(status));
      }
      const auto part = slice(r.data, offset, length);
      out.u32(r.uniqueId).u16(static_cast<uint16_t>(index)).u16(static_cast<uint16_t>(r.data.size()));
      out.u8(static_cast<uint8_t>(r.attributes & ~pdb::kRecCategoryMask)).u8(r.attributes & pdb::kRecCategoryMask);
      out.bytes(part);
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::WriteRecord: {
      Open* o = open(in.u8());
      in.u8();
      const uint32_t id = in.u32();
      const uint8_t attributes = in.u8();
      const uint8_t category = in.u8();
      const auto data = in.rest();
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      if (data.size() > 0xFFFF) return reply(request, dlp::ErrSize);
      uint32_t written = id;
      if (o->created) {
        pdb::Database& db = *o->created;
        if (db.isResourceDb()) return reply(request, dlp::ErrNotSupported);
        if (db.records.size() >= 0xFFFF) return reply(request, dlp::ErrLimit);
        if (written == 0 || written > pdb::kMaxUniqueId) {
          written = 0;
          for (const auto& r : db.records) written = std::max(written, r.uniqueId);
          written = written + 1;
        }
        const uint8_t kept = attributes & (pdb::kRecDelete | pdb::kRecDirty | pdb::kRecSecret);
        db.records.push_back({static_cast<uint8_t>(kept | (category & pdb::kRecCategoryMask)), written,
                              std::vector<uint8_t>(data.begin(), data.end())});
      } else {
        std::vector<uint8_t> copy(data.begin(), data.end());
        RecordInfo info{};
        info.m_FileHandle = o->handheldHandle;
        info.m_RecId = id;
        info.m_Attribs = attributes;
        info.m_CatId = category;
        info.m_RecSize = static_cast<uint32_t>(copy.size());
        info.m_pBytes = copy.data();
        if (const int32_t status = hh_.writeRecord(&info); status != SYNCERR_NONE) return reply(request, toDlp(status));
        written = info.m_RecId;
      }
      out.u32(written);
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::DeleteRecord: {
      Open* o = open(in.u8());
      const uint8_t flags = in.u8();
      RecordInfo info{};
      info.m_RecId = in.u32();
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      if (o->created || flags != 0) return reply(request, dlp::ErrNotSupported);
      info.m_FileHandle = o->handheldHandle;
      return reply(request, toDlp(hh_.deleteRecord(&info)));
    }
    case dlp::ReadResource: {
      Open* o = open(in.u8());
      in.u8();
      const bool byIndex = arg.id == dlp::kFirstArgId;
      uint32_t type = 0;
      uint16_t id = 0;
      std::size_t index = 0;
      if (byIndex) {
        index = in.u16();
      } else {
        type = in.u32();
        id = in.u16();
      }
      const uint16_t offset = in.u16();
      const uint16_t length = in.u16();
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      const pdb::Database* db = database(*o);
      if (db == nullptr) return reply(request, dlp::ErrNotFound);  // its file could not be read
      if (!db->isResourceDb()) return reply(request, dlp::ErrNotSupported);
      if (!byIndex) {
        const auto it = std::find_if(db->resources.begin(), db->resources.end(),
                                     [&](const pdb::Resource& r) { return r.type == type && r.id == id; });
        index = static_cast<std::size_t>(it - db->resources.begin());
      }
      if (index >= db->resources.size()) return reply(request, dlp::ErrNotFound);
      const pdb::Resource& r = db->resources[index];
      out.u32(r.type).u16(r.id).u16(static_cast<uint16_t>(index)).u16(static_cast<uint16_t>(r.data.size()));
      out.bytes(slice(r.data, offset, length));
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::WriteResource: {
      Open* o = open(in.u8());
      in.u8();
      const uint32_t type = in.u32();
      const uint16_t id = in.u16();
      const uint16_t length = in.u16();
      const auto data = in.take(length);
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      if (!o->created) return reply(request, dlp::ErrNotSupported);  // only while installing a database
      if (!o->created->isResourceDb()) return reply(request, dlp::ErrNotSupported);
      if (o->created->resources.size() >= 0xFFFF) return reply(request, dlp::ErrLimit);
      o->created->resources.push_back({type, id, std::vector<uint8_t>(data.begin(), data.end())});
      return reply(request, dlp::ErrNone);
    }
    case dlp::CleanUpDatabase:
    case dlp::ResetSyncFlags: {
      Open* o = open(in.u8());
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      if (o->created) return reply(request, dlp::ErrNone);  // nothing to clean in a database being made
      const int32_t status = request.command == dlp::CleanUpDatabase ? hh_.purgeDeleted(o->handheldHandle)
                                                                     : hh_.resetSyncFlags(o->handheldHandle);
      return reply(request, toDlp(status));
    }
    case dlp::AddSyncLogEntry: {
      const std::string text = in.text();
      hh_.appendLog(tarvo::Cp1252ToUtf8(text));
      return reply(request, dlp::ErrNone);
    }
    case dlp::ReadOpenDBInfo: {
      Open* o = open(in.u8());
      if (o == nullptr) return reply(request, dlp::ErrNoneOpen);
      const pdb::Database* db = database(*o);
      if (db == nullptr) return reply(request, dlp::ErrNotFound);  // its file could not be read
      const std::size_t n = db->isResourceDb() ? db->resources.size() : db->records.size();
      out.u16(static_cast<uint16_t>(std::min<std::size_t>(n, 0xFFFF)));
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::ReadFeature: {
      const uint32_t creator = in.u32();
      const uint16_t number = in.u16();
      const auto it = config.features.find({creator, number});
      if (it == config.features.end()) return reply(request, dlp::ErrNotFound);
      out.u32(it->second);
      return reply(request, dlp::ErrNone, std::move(out.out()));
    }
    case dlp::OpenConduit:
      return reply(request, dlp::ErrNone);
    case dlp::EndOfSync:
      ended_ = true;
      closeAll();
      return reply(request, dlp::ErrNone);
    default:
      return reply(request, dlp::ErrIllegalRequest);
  }
}

}  // namespace hotsync::detail
