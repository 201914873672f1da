#include "link/dlp_server.h"

#include <algorithm>
#include <cstring>

#include "dlp/messages.h"
#include "link/status_codes.h"
#include "text/cp1252.h"

namespace hotsync::detail {

namespace {

namespace msg = dlp::msg;

// Decodes the query of message M and lets `serve` fill in the answer: the
// answer, or the error `serve` returns without one.
template <typename M, typename Serve>
dlp::Response serve(const dlp::Request& request, Serve&& serve) {
  typename M::Answer answer;
  const uint16_t error = serve(M::Query::decode(request.args), answer);
  if (error != dlp::ErrNone) return dlp::Response{M::kCommand, error, {}};
  return dlp::answerOf<M>(answer);
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

// A record, resource or block slice: from `offset`, at most `length` bytes.
std::vector<uint8_t> slice(const std::vector<uint8_t>& data, std::size_t offset, std::size_t length) {
  if (offset >= data.size()) return {};
  const auto from = data.begin() + static_cast<std::ptrdiff_t>(offset);
  return std::vector<uint8_t>(from, from + static_cast<std::ptrdiff_t>(std::min(length, data.size() - offset)));
}

uint16_t clamp16(std::size_t n) { return static_cast<uint16_t>(std::min<std::size_t>(n, 0xFFFF)); }

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
    // A database still being created when the link broke never got all of
    // its records: the handheld keeps it whole or not at all.
    std::erase_if(open_, [](const auto& entry) { return entry.second.created != nullptr; });
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

dlp::Error DlpServer::close(uint8_t handle) {
  Open* o = open(handle);
  if (o == nullptr) return dlp::ErrNoneOpen;
  dlp::Error status = dlp::ErrNone;
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
    status = dlpErrorOf(hh_.closeDb(o->handheldHandle));
  }
  open_.erase(handle);
  return status;
}

void DlpServer::closeAll() {
  while (!open_.empty()) close(open_.begin()->first);
}

dlp::Response DlpServer::answer(const dlp::Request& request) {
  try {
    return handle(request);
  } catch (const dlp::WireError&) {
    return dlp::Response{request.command, dlp::ErrParam, {}};  // an argument too short for its command
  }
}

dlp::Response DlpServer::handle(const dlp::Request& request) {
  const DeviceConfig& config = hh_.config();
  switch (request.command) {
    case dlp::ReadUserInfo:
      return serve<msg::ReadUserInfo>(request, [&](const auto&, msg::ReadUserInfo::Answer& a) {
        a.user.userId = config.userId;
        a.user.lastSyncPc = config.lastSyncPc;
        a.user.name = tarvo::Utf8ToCp1252(config.userName);
        return dlp::ErrNone;
      });
    case dlp::ReadSysInfo:
      return serve<msg::ReadSysInfo>(request, [&](const auto&, msg::ReadSysInfo::Answer& a) {
        // major.minor, release stage
        a.info.romVersion = (uint32_t{config.osMajor} << 24) | (uint32_t{config.osMinor & 0xFu} << 20) | 0x3000u;
        return dlp::ErrNone;
      });
    case dlp::GetSysDateTime:
      return serve<msg::GetSysDateTime>(request, [&](const auto&, msg::GetSysDateTime::Answer& a) {
        a.time = dlp::dateFromPalm(static_cast<uint32_t>(hh_.palmNow() + clockShift_));
        return dlp::ErrNone;
      });
    case dlp::SetSysDateTime:
      return serve<msg::SetSysDateTime>(request, [&](const msg::SetSysDateTime::Query& q, auto&) {
        const uint32_t wanted = dlp::palmFromDate(q.time);
        if (wanted == 0) return dlp::ErrParam;
        clockShift_ = int64_t{wanted} - int64_t{hh_.palmNow()};
        if (notice_) notice_("the desktop set the clock for this HotSync");
        return dlp::ErrNone;
      });
    case dlp::ReadStorageInfo:
      return serve<msg::ReadStorageInfo>(
          request, [&](const msg::ReadStorageInfo::Query& q, msg::ReadStorageInfo::Answer& a) {
            CardInfo card{};
            card.m_CardNo = q.card;
            if (const int32_t status = hh_.readCardInfo(&card); status != SYNCERR_NONE) return dlpErrorOf(status);
            CardInfo next{};
            next.m_CardNo = static_cast<uint8_t>(card.m_CardNo + 1);
            dlp::StorageInfo& info = a.card;
            a.lastCard = card.m_CardNo;
            info.card = card.m_CardNo;
            info.version = card.m_CardVersion;
            info.romSize = card.m_RomSize;
            info.ramSize = card.m_RamSize;
            info.freeRam = card.m_FreeRam;
            info.name.assign(card.m_CardName, ::strnlen(card.m_CardName, sizeof card.m_CardName));
            info.maker.assign(card.m_ManufName, ::strnlen(card.m_ManufName, sizeof card.m_ManufName));
            info.ramDbCount = card.m_ramDbCount;
            info.more = hh_.readCardInfo(&next) == SYNCERR_NONE;
            return dlp::ErrNone;
          });
    case dlp::ReadDBList:
      return serve<msg::ReadDBList>(request, [&](const msg::ReadDBList::Query& q, msg::ReadDBList::Answer& a) {
        if ((q.flags & dlp::kListRam) == 0) return dlp::ErrNotFound;  // no ROM databases here
        // One entry, or as many as fit one answer.
        std::vector<CDbList> entries((q.flags & dlp::kListMultiple) ? 64 : 1);
        int32_t count = static_cast<int32_t>(entries.size());
        if (const int32_t status = hh_.readDbList(q.card, q.start, DB_LIST_RAM, entries.data(), &count);
            status != SYNCERR_NONE || count == 0) {
          return dlp::ErrNotFound;
        }
        entries.resize(static_cast<std::size_t>(count));
        CDbList probe{};
        int32_t more = 1;
        a.lastIndex = entries.back().m_Index;
        a.more = hh_.readDbList(q.card, static_cast<uint16_t>(a.lastIndex + 1), DB_LIST_RAM, &probe, &more) ==
                     SYNCERR_NONE &&
                 more > 0;
        for (const CDbList& e : entries) a.entries.push_back(entryOf(e));
        return dlp::ErrNone;
      });
    case dlp::OpenDB:
      return serve<msg::OpenDB>(request, [&](const msg::OpenDB::Query& q, msg::OpenDB::Answer& a) {
        uint8_t h = 0;
        if (const int32_t status = hh_.openDb(q.name.c_str(), q.card, &h, q.mode); status != SYNCERR_NONE) {
          return dlpErrorOf(status);
        }
        a.handle = newHandle();
        open_[a.handle] = Open{h, nullptr, q.card};
        return dlp::ErrNone;
      });
    case dlp::CreateDB:
      return serve<msg::CreateDB>(request, [&](const msg::CreateDB::Query& q, msg::CreateDB::Answer& a) {
        if (q.name.empty() || q.name.size() > 31) return dlp::ErrParam;
        if (q.card != 0) return dlp::ErrNotFound;  // new databases go to the first card
        auto db = std::make_unique<pdb::Database>();
        db->creator = q.creator;
        db->type = q.type;
        db->attributes = static_cast<uint16_t>(q.attributes & ~0x8000u);  // not "open"
        db->version = q.version;
        db->name = q.name;
        db->creationDate = db->modificationDate = hh_.palmNow();
        uint8_t probe = 0;
        if (hh_.openDb(db->name.c_str(), 0, &probe, eDbRead) == SYNCERR_NONE) {
          hh_.closeDb(probe);
          return dlp::ErrExists;
        }
        a.handle = newHandle();
        open_[a.handle] = Open{0, std::move(db), 0};
        return dlp::ErrNone;
      });
    case dlp::CloseDB:
      return serve<msg::CloseDB>(request, [&](const msg::CloseDB::Query& q, auto&) {
        if (!q.all) return close(q.handle);
        closeAll();
        return dlp::ErrNone;
      });
    case dlp::DeleteDB:
      return serve<msg::DeleteDB>(request, [&](const msg::DeleteDB::Query& q, auto&) {
        return dlpErrorOf(hh_.deleteDb(q.name.c_str(), q.card));
      });
    case dlp::ReadAppBlock:
      return readBlock<msg::ReadAppBlock>(request, &pdb::Database::appInfo);
    case dlp::ReadSortBlock:
      return readBlock<msg::ReadSortBlock>(request, &pdb::Database::sortInfo);
    case dlp::WriteAppBlock:
      return writeBlock<msg::WriteAppBlock>(request, &pdb::Database::appInfo);
    case dlp::WriteSortBlock:
      return writeBlock<msg::WriteSortBlock>(request, &pdb::Database::sortInfo);
    case dlp::ReadRecord:
      return serve<msg::ReadRecord>(
          request, [&](const msg::ReadRecord::Query& q, msg::ReadRecord::Answer& a) { return readRecord(q, a); });
    case dlp::WriteRecord:
      return serve<msg::WriteRecord>(
          request, [&](const msg::WriteRecord::Query& q, msg::WriteRecord::Answer& a) { return writeRecord(q, a); });
    case dlp::DeleteRecord:
      return serve<msg::DeleteRecord>(request, [&](const msg::DeleteRecord::Query& q, auto&) {
        Open* o = open(q.handle);
        if (o == nullptr) return dlp::ErrNoneOpen;
        if (o->created || q.flags != 0) return dlp::ErrNotSupported;
        RecordInfo info{};
        info.m_FileHandle = o->handheldHandle;
        info.m_RecId = q.id;
        return dlpErrorOf(hh_.deleteRecord(&info));
      });
    case dlp::ReadResource:
      return serve<msg::ReadResource>(
          request, [&](const msg::ReadResource::Query& q, msg::ReadResource::Answer& a) { return readResource(q, a); });
    case dlp::WriteResource:
      return serve<msg::WriteResource>(request, [&](const msg::WriteResource::Query& q, auto&) {
        Open* o = open(q.handle);
        if (o == nullptr) return dlp::ErrNoneOpen;
        if (!o->created) return dlp::ErrNotSupported;  // only while installing a database
        if (!o->created->isResourceDb()) return dlp::ErrNotSupported;
        if (o->created->resources.size() >= 0xFFFF) return dlp::ErrLimit;
        o->created->resources.push_back({q.type, q.id, q.data});
        return dlp::ErrNone;
      });
    case dlp::CleanUpDatabase:
    case dlp::ResetSyncFlags: {
      const auto query = msg::HandleQuery::decode(request.args);
      Open* o = open(query.handle);
      dlp::Error error = dlp::ErrNone;
      if (o == nullptr) {
        error = dlp::ErrNoneOpen;
      } else if (!o->created) {  // nothing to clean in a database being made
        error = dlpErrorOf(request.command == dlp::CleanUpDatabase ? hh_.purgeDeleted(o->handheldHandle)
                                                                   : hh_.resetSyncFlags(o->handheldHandle));
      }
      return dlp::Response{request.command, error, {}};
    }
    case dlp::SetDBInfo:
      return serve<msg::SetDBInfo>(request, [&](const msg::SetDBInfo::Query& q, auto&) {
        Open* o = open(q.handle);
        if (o == nullptr) return dlp::ErrNoneOpen;
        // This handheld lets a desktop set the backup date only.
        if (o->created || q.clearFlags != 0 || q.setFlags != 0 || q.version != 0xFFFF || q.created.year != 0 ||
            q.modified.year != 0 || q.type != 0 || q.creator != 0 || !q.name.empty()) {
          return dlp::ErrNotSupported;
        }
        if (q.backedUp.year == 0) return dlp::ErrNone;
        return dlpErrorOf(hh_.setBackupDate(o->handheldHandle, dlp::palmFromDate(q.backedUp)));
      });
    case dlp::AddSyncLogEntry:
      return serve<msg::AddSyncLogEntry>(request, [&](const msg::AddSyncLogEntry::Query& q, auto&) {
        hh_.appendLog(tarvo::Cp1252ToUtf8(q.text));
        return dlp::ErrNone;
      });
    case dlp::ReadOpenDBInfo:
      return serve<msg::ReadOpenDBInfo>(
          request, [&](const msg::ReadOpenDBInfo::Query& q, msg::ReadOpenDBInfo::Answer& a) {
            Open* o = open(q.handle);
            if (o == nullptr) return dlp::ErrNoneOpen;
            const pdb::Database* db = database(*o);
            if (db == nullptr) return dlp::ErrNotFound;  // its file could not be read
            a.count = clamp16(db->isResourceDb() ? db->resources.size() : db->records.size());
            return dlp::ErrNone;
          });
    case dlp::ReadFeature:
      return serve<msg::ReadFeature>(request, [&](const msg::ReadFeature::Query& q, msg::ReadFeature::Answer& a) {
        const auto it = config.features.find({q.creator, q.number});
        if (it == config.features.end()) return dlp::ErrNotFound;
        a.value = it->second;
        return dlp::ErrNone;
      });
    case dlp::OpenConduit:
      return serve<msg::OpenConduit>(request, [](const auto&, auto&) { return dlp::ErrNone; });
    case dlp::EndOfSync:
      return serve<msg::EndOfSync>(request, [&](const auto& q, auto&) {
        ended_ = true;
        endStatus_ = q.status;
        closeAll();
        return dlp::ErrNone;
      });
    default:
      return dlp::Response{request.command, dlp::ErrIllegalRequest, {}};
  }
}

template <typename M>
dlp::Response DlpServer::readBlock(const dlp::Request& request, std::vector<uint8_t> pdb::Database::*block) {
  return serve<M>(request, [&](const typename M::Query& q, typename M::Answer& a) {
    Open* o = open(q.handle);
    if (o == nullptr) return dlp::ErrNoneOpen;
    const pdb::Database* db = database(*o);
    if (db == nullptr) return dlp::ErrNotFound;  // its file could not be read
    const std::vector<uint8_t>& bytes = db->*block;
    if (bytes.empty()) return dlp::ErrNotFound;
    a.size = clamp16(bytes.size());
    a.data = slice(bytes, q.offset, q.length);
    return dlp::ErrNone;
  });
}

template <typename M>
dlp::Response DlpServer::writeBlock(const dlp::Request& request, std::vector<uint8_t> pdb::Database::*block) {
  return serve<M>(request, [&](const typename M::Query& q, auto&) {
    Open* o = open(q.handle);
    if (o == nullptr) return dlp::ErrNoneOpen;
    if (!o->created) return dlp::ErrNotSupported;  // only while installing a database
    (*o->created).*block = q.data;
    return dlp::ErrNone;
  });
}

dlp::Error DlpServer::readRecord(const dlp::msg::ReadRecord::Query& q, dlp::msg::ReadRecord::Answer& a) {
  Open* o = open(q.handle);
  if (o == nullptr) return dlp::ErrNoneOpen;
  const pdb::Database* db = database(*o);
  if (db == nullptr) return dlp::ErrNotFound;  // its file could not be read
  if (db->isResourceDb()) return dlp::ErrNotSupported;
  std::size_t index = q.index;
  if (!q.byIndex) {
    const auto it =
        std::find_if(db->records.begin(), db->records.end(), [&](const pdb::Record& r) { return r.uniqueId == q.id; });
    index = static_cast<std::size_t>(it - db->records.begin());
  }
  if (index >= db->records.size()) return dlp::ErrNotFound;
  const pdb::Record& r = db->records[index];
  if ((r.attributes & pdb::kRecSecret) && !o->created) {
    // Secret records only through a handle that may show them.
    std::vector<uint8_t> buffer(0xFFFF);
    RecordInfo info{};
    info.m_FileHandle = o->handheldHandle;
    info.m_RecIndex = static_cast<uint16_t>(index);
    info.m_TotalBytes = 0xFFFF;
    info.m_pBytes = buffer.data();
    if (const int32_t status = hh_.readRecord(&info); status != SYNCERR_NONE) return dlpErrorOf(status);
  }
  a.id = r.uniqueId;
  a.index = static_cast<uint16_t>(index);
  a.size = static_cast<uint16_t>(r.data.size());
  a.attributes = static_cast<uint8_t>(r.attributes & ~pdb::kRecCategoryMask);
  a.category = r.attributes & pdb::kRecCategoryMask;
  a.data = slice(r.data, q.offset, q.length);
  return dlp::ErrNone;
}

dlp::Error DlpServer::writeRecord(const dlp::msg::WriteRecord::Query& q, dlp::msg::WriteRecord::Answer& a) {
  Open* o = open(q.handle);
  if (o == nullptr) return dlp::ErrNoneOpen;
  if (q.data.size() > 0xFFFF) return dlp::ErrSize;
  a.id = q.id;
  if (o->created) {
    pdb::Database& db = *o->created;
    if (db.isResourceDb()) return dlp::ErrNotSupported;
    if (db.records.size() >= 0xFFFF) return dlp::ErrLimit;
    if (a.id == 0 || a.id > pdb::kMaxUniqueId) {
      a.id = 0;
      for (const auto& r : db.records) a.id = std::max(a.id, r.uniqueId);
      a.id = a.id + 1;
    }
    const uint8_t kept = q.attributes & (pdb::kRecDelete | pdb::kRecDirty | pdb::kRecSecret);
    db.records.push_back({static_cast<uint8_t>(kept | (q.category & pdb::kRecCategoryMask)), a.id, q.data});
    return dlp::ErrNone;
  }
  std::vector<uint8_t> copy = q.data;
  RecordInfo info{};
  info.m_FileHandle = o->handheldHandle;
  info.m_RecId = q.id;
  info.m_Attribs = q.attributes;
  info.m_CatId = q.category;
  info.m_RecSize = static_cast<uint32_t>(copy.size());
  info.m_pBytes = copy.data();
  if (const int32_t status = hh_.writeRecord(&info); status != SYNCERR_NONE) return dlpErrorOf(status);
  a.id = info.m_RecId;
  return dlp::ErrNone;
}

dlp::Error DlpServer::readResource(const dlp::msg::ReadResource::Query& q, dlp::msg::ReadResource::Answer& a) {
  Open* o = open(q.handle);
  if (o == nullptr) return dlp::ErrNoneOpen;
  const pdb::Database* db = database(*o);
  if (db == nullptr) return dlp::ErrNotFound;  // its file could not be read
  if (!db->isResourceDb()) return dlp::ErrNotSupported;
  std::size_t index = q.index;
  if (!q.byIndex) {
    const auto it = std::find_if(db->resources.begin(), db->resources.end(),
                                 [&](const pdb::Resource& r) { return r.type == q.type && r.id == q.id; });
    index = static_cast<std::size_t>(it - db->resources.begin());
  }
  if (index >= db->resources.size()) return dlp::ErrNotFound;
  const pdb::Resource& r = db->resources[index];
  a.type = r.type;
  a.id = r.id;
  a.index = static_cast<uint16_t>(index);
  a.size = static_cast<uint16_t>(r.data.size());
  a.data = slice(r.data, q.offset, q.length);
  return dlp::ErrNone;
}

}  // namespace hotsync::detail
