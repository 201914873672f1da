#include "link/dlp_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "desktop_log.h"
#include "hotsync/hslog.h"
#include "sys_date_time.h"
#include "text/cp1252.h"

namespace hotsync::detail {

namespace {

namespace msg = dlp::msg;

constexpr uint16_t kChunk = 0xFFFF - 100;  // what one answer carries of a record, with room for its header

void fillEntry(const dlp::DbEntry& d, uint8_t card, CDbList* e) {
  std::memset(e, 0, sizeof *e);
  e->m_CardNum = card;
  e->m_DbFlags = d.flags;
  e->m_DbType = d.type;
  std::memcpy(e->m_Name, d.name.data(), std::min(d.name.size(), sizeof e->m_Name - 1));
  e->m_Creator = d.creator;
  e->m_Version = d.version;
  e->m_ModNumber = d.modNumber;
  e->m_Index = d.index;
  e->m_CreateDate = dlp::palmFromDate(d.created);
  e->m_ModDate = dlp::palmFromDate(d.modified);
  e->m_BackupDate = dlp::palmFromDate(d.backedUp);
  e->m_MiscFlags = d.miscFlags;
}

// How a handheld says it does not know a request's newer form.
bool refusesForm(uint16_t error) {
  return error == dlp::ErrIllegalRequest || error == dlp::ErrNotSupported || error == dlp::ErrParam;
}

}  // namespace

DlpDevice::DlpDevice(std::unique_ptr<Link> link) : link_(std::move(link)) {
  dlp::Response response;
  if (!call(dlp::requestOf<msg::ReadSysInfo>({}), &response)) throw LinkError(lost_);
  // A handheld older than the desktop's version argument is asked without it.
  if (refusesForm(response.error) && !call({dlp::ReadSysInfo, {}}, &response)) throw LinkError(lost_);
  if (response.error == dlp::ErrNone) sys_ = msg::ReadSysInfo::Answer::decode(response.args).info;
  listMultiple_ = (sys_.dlpMajor << 8 | sys_.dlpMinor) >= 0x0102;
  if (!call(dlp::requestOf<msg::ReadUserInfo>({}), &response)) throw LinkError(lost_);
  if (response.error != dlp::ErrNone)
    throw LinkError("the handheld does not tell its user: " + dlp::errorText(response.error));
  user_ = msg::ReadUserInfo::Answer::decode(response.args).user;
  if (!call(dlp::requestOf<msg::OpenConduit>({}), &response)) throw LinkError(lost_);
  if (response.error == dlp::ErrSync) throw LinkError("the HotSync was cancelled on the handheld");
}

bool DlpDevice::call(const dlp::Request& request, dlp::Response* response) {
  if (!lost_.empty()) return false;
  try {
    lastSent_ = std::chrono::steady_clock::now();
    link_->send(dlp::encodeRequest(request));
    *response = dlp::decodeResponse(link_->receive());
    if (response->command != request.command) throw dlp::WireError("an answer to another request");
    return true;
  } catch (const std::exception& e) {
    lost_ = e.what();
    return false;
  }
}

void DlpDevice::keepAlive() {
  if (!lost_.empty()) return;
  // Looked at on every yield, so that a conduit waiting for its server
  // learns within moments that the handheld hung up.
  if (link_->hungUp()) {
    lost_ = link_->peer() + " closed the link";
    return;
  }
  // A handheld gives up on a desktop that is silent for long; a conduit
  // waiting for its server yields often, so a few seconds apart is enough.
  if (std::chrono::steady_clock::now() - lastSent_ < std::chrono::seconds(5)) return;
  try {
    lastSent_ = std::chrono::steady_clock::now();
    link_->sendKeepAlive();
  } catch (const std::exception& e) {
    lost_ = e.what();
  }
}

std::string DlpDevice::userName() const { return tarvo::Cp1252ToUtf8(user_.name); }

int32_t DlpDevice::readUserInfo(UserInfo* info) {
  if (!lost_.empty()) return SYNCERR_NOT_CONNECTED;
  std::memset(info->m_pName, 0, sizeof info->m_pName);
  std::memcpy(info->m_pName, user_.name.data(), std::min(user_.name.size(), sizeof info->m_pName - 1));
  info->m_NameLength = static_cast<int32_t>(std::strlen(info->m_pName));
  info->m_PasswordLength = static_cast<int32_t>(user_.password.size());
  info->m_LastSyncDate = dlp::palmFromDate(user_.lastSync);
  info->m_LastSyncPC = user_.lastSyncPc;
  info->m_Id = user_.userId;
  info->m_ViewerId = user_.viewerId;
  return SYNCERR_NONE;
}

uint16_t DlpDevice::osVersion(uint16_t* minor) {
  if (minor != nullptr) *minor = static_cast<uint16_t>((sys_.romVersion >> 20) & 0xF);
  return static_cast<uint16_t>((sys_.romVersion >> 24) & 0xFF);
}

int32_t DlpDevice::readFeature(uint32_t creator, uint16_t number, uint32_t* value) {
  return ask<msg::ReadFeature>({creator, number}, [&](const msg::ReadFeature::Answer& answer) {
    *value = answer.value;
    return SYNCERR_NONE;
  });
}

int32_t DlpDevice::readDateTime(SysDateTime* dateTime) {
  return ask<msg::GetSysDateTime>({}, [&](const msg::GetSysDateTime::Answer& answer) {
    *dateTime = sysDateTime(answer.time);
    return SYNCERR_NONE;
  });
}

void DlpDevice::warnOnce(const std::string& text) {
  if (!warned_.insert(text).second) return;
  std::fprintf(stderr, "tarvo-hotsync: warning: %s\n", text.c_str());
  appendDesktopLog(userName(), slText, "warning: " + text);
}

int32_t DlpDevice::readCardInfo(CardInfo* info) {
  if (info == nullptr) return SYNCERR_BAD_ARG;
  const uint8_t card = info->m_CardNo;
  return ask<msg::ReadStorageInfo>({card}, [&](const msg::ReadStorageInfo::Answer& answer) {
    const dlp::StorageInfo& c = answer.card;
    // Some handhelds (Palm OS 5) number the card they describe otherwise.
    if (c.card != card) {
      warnOnce("the handheld describes card " + std::to_string(c.card) + " when asked for card " +
               std::to_string(card) + "; taken as card " + std::to_string(card));
    }
    info->m_CardVersion = c.version;
    info->m_CreationDate = dlp::palmFromDate(c.created);
    info->m_RomSize = c.romSize;
    info->m_RamSize = c.ramSize;
    info->m_FreeRam = c.freeRam;
    info->m_CardNameLen = static_cast<uint8_t>(std::min(c.name.size(), sizeof info->m_CardName - 1));
    info->m_ManufNameLen = static_cast<uint8_t>(std::min(c.maker.size(), sizeof info->m_ManufName - 1));
    std::memset(info->m_CardName, 0, sizeof info->m_CardName);
    std::memset(info->m_ManufName, 0, sizeof info->m_ManufName);
    std::memcpy(info->m_CardName, c.name.data(), info->m_CardNameLen);
    std::memcpy(info->m_ManufName, c.maker.data(), info->m_ManufNameLen);
    info->m_romDbCount = c.romDbCount;
    info->m_ramDbCount = c.ramDbCount;
    if (!answer.counted || c.ramDbCount == 0) {
      // A handheld that does not count its databases: list them.
      std::vector<dlp::DbEntry> entries;
      if (const int32_t status = listAll(card, &entries); status == SYNCERR_NOT_CONNECTED) return status;
      info->m_ramDbCount = static_cast<uint16_t>(std::min<std::size_t>(entries.size(), 0xFFFF));
    }
    cardDbCounts_[card] = info->m_ramDbCount;
    return SYNCERR_NONE;
  });
}

int32_t DlpDevice::listPage(uint8_t card, uint16_t start, std::vector<dlp::DbEntry>* entries,
                            std::optional<uint16_t>* next, bool rom) {
  dlp::Response response;
  for (;;) {
    const uint8_t which = rom ? dlp::kListRom : dlp::kListRam;
    const msg::ReadDBList::Query query{static_cast<uint8_t>(which | (listMultiple_ ? dlp::kListMultiple : 0)), card,
                                       start};
    if (!call(dlp::requestOf<msg::ReadDBList>(query), &response)) return SYNCERR_NOT_CONNECTED;
    if (!listMultiple_ || !refusesForm(response.error)) break;
    listMultiple_ = false;  // one entry per answer from now on
  }
  if (response.error == dlp::ErrNotFound || (rom && response.error != dlp::ErrNone)) return SYNCERR_NOT_FOUND;
  if (response.error != dlp::ErrNone) {
    // A handheld whose list cannot be read cannot be synced: that is no empty handheld.
    lost_ = "the handheld does not list its databases on card " + std::to_string(card) + " (" +
            dlp::errorText(response.error) + ")";
    return SYNCERR_NOT_CONNECTED;
  }
  try {
    msg::ReadDBList::Answer answer = msg::ReadDBList::Answer::decode(response.args);
    if (answer.entries.empty()) return SYNCERR_NOT_FOUND;
    for (dlp::DbEntry& entry : answer.entries) {
      // Indexes only grow; anything else would make a caller loop for ever.
      if (entry.index < start || (!entries->empty() && entry.index <= entries->back().index)) {
        throw dlp::WireError("a database list out of order");
      }
      entries->push_back(std::move(entry));
    }
    if (answer.lastIndex < entries->back().index) throw dlp::WireError("a database list out of order");
    *next = answer.more && answer.lastIndex < 0xFFFF ? std::optional<uint16_t>(answer.lastIndex + 1) : std::nullopt;
    return SYNCERR_NONE;
  } catch (const dlp::WireError& e) {
    lost_ = e.what();
    return SYNCERR_NOT_CONNECTED;
  }
}

int32_t DlpDevice::listAll(uint8_t card, std::vector<dlp::DbEntry>* entries) {
  std::optional<uint16_t> next = 0;
  while (next) {
    if (const int32_t status = listPage(card, *next, entries, &next); status != SYNCERR_NONE) {
      return status == SYNCERR_NOT_FOUND && !entries->empty() ? SYNCERR_NONE : status;
    }
  }
  return SYNCERR_NONE;
}

int32_t DlpDevice::readDbList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) {
  if (list == nullptr || count == nullptr || *count < 0) return SYNCERR_BAD_ARG;
  const std::size_t capacity = static_cast<std::size_t>(*count);
  *count = 0;
  if ((flags & DB_LIST_RAM) == 0) return SYNCERR_NOT_FOUND;
  std::vector<dlp::DbEntry> entries;
  std::optional<uint16_t> next = startIndex;
  int32_t status = SYNCERR_NONE;
  while (next && entries.size() < capacity && (status = listPage(cardNo, *next, &entries, &next)) == SYNCERR_NONE) {
  }
  if (status == SYNCERR_NOT_CONNECTED) return status;
  if (entries.empty()) {
    const auto counted = cardDbCounts_.find(cardNo);
    if (startIndex == 0 && counted != cardDbCounts_.end() && counted->second > 0) {
      lost_ = "the handheld counts " + std::to_string(counted->second) + " databases on card " +
              std::to_string(cardNo) + " but lists none";
      return SYNCERR_NOT_CONNECTED;
    }
    return SYNCERR_NOT_FOUND;
  }
  entries.resize(std::min(entries.size(), capacity));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    CDbList* e = &list[i];
    fillEntry(entries[i], cardNo, e);
    // The list does not carry record counts; ask for them while nothing
    // else is open, as opening a database already open could fail.
    uint8_t h = 0;
    if (open_.empty() && openDb(e->m_Name, cardNo, &h, eDbRead | eDbShowSecret) == SYNCERR_NONE) {
      uint16_t n = 0;
      if (recordCount(h, &n) == SYNCERR_NONE) e->m_RecCount = n;
      closeDb(h);
    }
  }
  if (!lost_.empty()) return SYNCERR_NOT_CONNECTED;
  *count = static_cast<int32_t>(entries.size());
  return SYNCERR_NONE;
}

int32_t DlpDevice::openDb(const char* name, int32_t cardNo, uint8_t* handle, uint8_t mode) {
  if (name == nullptr || handle == nullptr) return SYNCERR_BAD_ARG;
  if (cardNo < 0 || cardNo > 0xFF) return SYNCERR_NOT_FOUND;
  if (std::strlen(name) > 31) return SYNCERR_NOT_FOUND;
  return ask<msg::OpenDB>({static_cast<uint8_t>(cardNo), mode, name}, [&](const msg::OpenDB::Answer& answer) {
    *handle = answer.handle;
    open_[*handle] = OpenDb{static_cast<uint8_t>(cardNo), name};
    return SYNCERR_NONE;
  });
}

int32_t DlpDevice::closeDb(uint8_t handle) {
  const int32_t status = simple<msg::CloseDB>({handle});
  if (status != SYNCERR_NOT_CONNECTED) open_.erase(handle);
  return status;
}

int32_t DlpDevice::deleteDb(const char* name, int32_t cardNo) {
  if (name == nullptr) return SYNCERR_BAD_ARG;
  if (cardNo < 0 || cardNo > 0xFF) return SYNCERR_NOT_FOUND;
  return simple<msg::DeleteDB>({static_cast<uint8_t>(cardNo), name});
}

int32_t DlpDevice::recordCount(uint8_t handle, uint16_t* count) {
  if (count == nullptr) return SYNCERR_BAD_ARG;
  return ask<msg::ReadOpenDBInfo>({handle}, [&](const msg::ReadOpenDBInfo::Answer& answer) {
    *count = answer.count;
    return SYNCERR_NONE;
  });
}

int32_t DlpDevice::openDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) {
  if (request == nullptr || info == nullptr || request->m_Kind != 0xC0) return SYNCERR_BAD_ARG;
  const auto it = open_.find(request->m_FileHandle);
  if (it == open_.end()) return SYNCERR_FILE_NOT_OPEN;
  const OpenDb db = it->second;
  uint16_t count = 0;
  if (const int32_t status = recordCount(request->m_FileHandle, &count); status != SYNCERR_NONE) return status;
  // The list entry of the open database: found by name on its card, in RAM
  // or else in ROM (the built-in applications).
  for (const bool rom : {false, true}) {
    std::vector<dlp::DbEntry> entries;
    std::optional<uint16_t> next = 0;
    while (next) {
      const std::size_t before = entries.size();
      const int32_t status = listPage(db.card, *next, &entries, &next, rom);
      if (status == SYNCERR_NOT_FOUND) break;
      if (status != SYNCERR_NONE) return status;
      for (std::size_t i = before; i < entries.size(); ++i) {
        if (entries[i].name == db.name) {
          fillEntry(entries[i], db.card, &info->m_DbInfo);
          info->m_DbInfo.m_RecCount = count;
          info->m_RecCount = count;
          return SYNCERR_NONE;
        }
      }
    }
  }
  return SYNCERR_NOT_FOUND;
}

int32_t DlpDevice::readRecord(RecordInfo* rec) {
  if (rec == nullptr) return SYNCERR_BAD_ARG;
  std::vector<uint8_t> data;
  uint32_t size = 0;
  // Long records come in pieces; each piece must move on.
  do {
    msg::ReadRecord::Query query;
    query.handle = rec->m_FileHandle;
    query.index = rec->m_RecIndex;
    query.offset = static_cast<uint16_t>(data.size());
    query.length = kChunk;
    const int32_t status = ask<msg::ReadRecord>(query, [&](const msg::ReadRecord::Answer& answer) {
      rec->m_RecId = answer.id;
      rec->m_Attribs = answer.attributes;
      rec->m_CatId = static_cast<int16_t>(answer.category);
      rec->m_RecSize = size = answer.size;
      if (size > rec->m_TotalBytes) return SYNCERR_LOCAL_BUFF_TOO_SMALL;
      if (answer.data.size() > size - data.size()) throw dlp::WireError("a record longer than its size");
      if (answer.data.empty() && data.size() < size) throw dlp::WireError("a record that ends early");
      data.insert(data.end(), answer.data.begin(), answer.data.end());
      return SYNCERR_NONE;
    });
    if (status != SYNCERR_NONE) return status;
  } while (data.size() < size);
  if (!data.empty()) {
    if (rec->m_pBytes == nullptr) return SYNCERR_BAD_ARG;
    std::memcpy(rec->m_pBytes, data.data(), data.size());
  }
  return SYNCERR_NONE;
}

int32_t DlpDevice::writeRecord(RecordInfo* rec) {
  if (rec == nullptr) return SYNCERR_BAD_ARG;
  if (rec->m_RecSize > 0xFFFF || (rec->m_RecSize > 0 && rec->m_pBytes == nullptr)) return SYNCERR_BAD_ARG;
  msg::WriteRecord::Query query{
      rec->m_FileHandle, rec->m_RecId, rec->m_Attribs, static_cast<uint8_t>(rec->m_CatId), {}};
  if (rec->m_RecSize > 0) query.data.assign(rec->m_pBytes, rec->m_pBytes + rec->m_RecSize);
  return ask<msg::WriteRecord>(query, [&](const msg::WriteRecord::Answer& answer) {
    rec->m_RecId = answer.id;
    return SYNCERR_NONE;
  });
}

int32_t DlpDevice::deleteRecord(RecordInfo* rec) {
  if (rec == nullptr) return SYNCERR_BAD_ARG;
  return simple<msg::DeleteRecord>({rec->m_FileHandle, 0, rec->m_RecId});
}

int32_t DlpDevice::purgeDeleted(uint8_t handle) { return simple<msg::CleanUpDatabase>({handle}); }

int32_t DlpDevice::resetSyncFlags(uint8_t handle) { return simple<msg::ResetSyncFlags>({handle}); }

int32_t DlpDevice::readWholeDatabase(uint8_t handle, pdb::Database* db) {
  if (db == nullptr) return SYNCERR_BAD_ARG;
  const OpenDbInfoRequest request{0xC0, handle};
  OpenDbInfo info{};
  if (const int32_t status = openDbInfo(&request, &info); status != SYNCERR_NONE) return status;
  const CDbList& entry = info.m_DbInfo;
  *db = pdb::Database{};
  db->name.assign(entry.m_Name, strnlen(entry.m_Name, sizeof entry.m_Name));
  db->attributes = entry.m_DbFlags;
  db->version = entry.m_Version;
  db->creationDate = entry.m_CreateDate;
  db->modificationDate = entry.m_ModDate;
  db->backupDate = entry.m_BackupDate;
  db->modificationNumber = entry.m_ModNumber;
  db->type = entry.m_DbType;
  db->creator = entry.m_Creator;

  // A block comes in slices until its size is there; a handheld says
  // "not found" for a database without one.
  auto readBlock = [&](auto message, std::vector<uint8_t>* block) {
    using M = decltype(message);
    uint32_t size = 0;
    do {
      const int32_t status = ask<M>({handle, static_cast<uint16_t>(block->size()), kChunk}, [&](const auto& answer) {
        size = answer.size;
        if (answer.data.size() > size - block->size()) throw dlp::WireError("a block longer than its size");
        if (answer.data.empty() && block->size() < size) throw dlp::WireError("a block that ends early");
        block->insert(block->end(), answer.data.begin(), answer.data.end());
        return SYNCERR_NONE;
      });
      if (status == SYNCERR_NOT_FOUND && block->empty()) return SYNCERR_NONE;
      if (status != SYNCERR_NONE) return status;
    } while (block->size() < size);
    return SYNCERR_NONE;
  };
  if (const int32_t status = readBlock(msg::ReadAppBlock{}, &db->appInfo); status != SYNCERR_NONE) return status;
  if (const int32_t status = readBlock(msg::ReadSortBlock{}, &db->sortInfo); status != SYNCERR_NONE) return status;

  const uint32_t count = info.m_RecCount;
  if (db->isResourceDb()) {
    for (uint32_t i = 0; i < count; ++i) {
      pdb::Resource resource;
      uint32_t size = 0;
      do {
        msg::ReadResource::Query query;
        query.handle = handle;
        query.index = static_cast<uint16_t>(i);
        query.offset = static_cast<uint16_t>(resource.data.size());
        query.length = kChunk;
        const int32_t status = ask<msg::ReadResource>(query, [&](const msg::ReadResource::Answer& answer) {
          resource.type = answer.type;
          resource.id = answer.id;
          size = answer.size;
          if (answer.data.size() > size - resource.data.size()) throw dlp::WireError("a resource longer than its size");
          if (answer.data.empty() && resource.data.size() < size) throw dlp::WireError("a resource that ends early");
          resource.data.insert(resource.data.end(), answer.data.begin(), answer.data.end());
          return SYNCERR_NONE;
        });
        if (status != SYNCERR_NONE) return status;
      } while (resource.data.size() < size);
      db->resources.push_back(std::move(resource));
    }
    return SYNCERR_NONE;
  }
  std::vector<uint8_t> buffer(0xFFFF);
  for (uint32_t i = 0; i < count; ++i) {
    RecordInfo rec{};
    rec.m_FileHandle = handle;
    rec.m_RecIndex = static_cast<uint16_t>(i);
    rec.m_TotalBytes = 0xFFFF;
    rec.m_pBytes = buffer.data();
    if (const int32_t status = readRecord(&rec); status != SYNCERR_NONE) return status;
    pdb::Record record;
    record.attributes =
        static_cast<uint8_t>((rec.m_Attribs & ~pdb::kRecCategoryMask) | (rec.m_CatId & pdb::kRecCategoryMask));
    record.uniqueId = rec.m_RecId;
    record.data.assign(buffer.begin(), buffer.begin() + rec.m_RecSize);
    db->records.push_back(std::move(record));
  }
  return SYNCERR_NONE;
}

int32_t DlpDevice::setBackupDate(uint8_t handle, uint32_t palmDate) {
  // Before DLP 1.2 the only way is the one a HotSync always took: resetting
  // the sync flags sets the backup date too.
  if ((sys_.dlpMajor << 8 | sys_.dlpMinor) < 0x0102) return resetSyncFlags(handle);
  msg::SetDBInfo::Query query;
  query.handle = handle;
  query.backedUp = dlp::dateFromPalm(palmDate);
  return simple<msg::SetDBInfo>(query);
}

bool DlpDevice::install(const std::filesystem::path& file, std::string* error) {
  auto failed = [&](const std::string& what, int32_t status) {
    if (error) *error = lost_.empty() ? what + " (status " + std::to_string(status) + ")" : lost_;
    return false;
  };
  // The handheld takes it block by block over the wire; the blocks are read
  // once, without the file's whole image beside them.
  pdb::Database db;
  try {
    db = pdb::readDatabase(file);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
  if (const int32_t status = deleteDb(db.name.c_str(), 0); status != SYNCERR_NONE && status != SYNCERR_NOT_FOUND) {
    return failed("the handheld keeps the old database", status);
  }
  dlp::Response response;
  const msg::CreateDB::Query create{db.creator, db.type, 0, db.attributes, db.version, db.name};
  if (!call(dlp::requestOf<msg::CreateDB>(create), &response)) return failed("", 0);
  uint8_t h = 0;
  try {
    if (response.error == dlp::ErrNone) h = msg::CreateDB::Answer::decode(response.args).handle;
  } catch (const dlp::WireError&) {
    response.error = dlp::ErrSystem;  // no handle to write to
  }
  if (response.error != dlp::ErrNone) {
    return failed("the handheld cannot make the database: " + dlp::errorText(response.error),
                  syncStatusOf(response.error));
  }
  const auto tooLong = [](const std::vector<uint8_t>& data) { return data.size() > 0xFFFF - 100; };
  int32_t status = SYNCERR_NONE;
  auto block = [&]<typename M>(M, const std::vector<uint8_t>& data) {
    if (data.empty() || status != SYNCERR_NONE) return;
    status = tooLong(data) ? SYNCERR_BAD_ARG : simple<M>({h, data});
  };
  block(msg::WriteAppBlock{}, db.appInfo);
  block(msg::WriteSortBlock{}, db.sortInfo);
  for (const pdb::Resource& r : db.resources) {
    if (status != SYNCERR_NONE) break;
    status = tooLong(r.data) ? SYNCERR_BAD_ARG : simple<msg::WriteResource>({h, r.type, r.id, r.data});
  }
  for (const pdb::Record& r : db.records) {
    if (status != SYNCERR_NONE) break;
    RecordInfo info{};
    info.m_FileHandle = h;
    info.m_RecId = r.uniqueId;
    info.m_Attribs = static_cast<uint8_t>(r.attributes & ~pdb::kRecCategoryMask);
    info.m_CatId = static_cast<int16_t>(r.attributes & pdb::kRecCategoryMask);
    info.m_RecSize = static_cast<uint32_t>(r.data.size());
    info.m_pBytes = const_cast<uint8_t*>(r.data.data());
    status = writeRecord(&info);
  }
  const int32_t closed = simple<msg::CloseDB>({h});
  if (status == SYNCERR_NONE) status = closed;
  if (status != SYNCERR_NONE) {
    deleteDb(db.name.c_str(), 0);  // no half database stays behind
    return failed("the handheld did not take the whole database", status);
  }
  return true;
}

void DlpDevice::appendLog(const std::string& utf8Text) {
  simple<msg::AddSyncLogEntry>({tarvo::Utf8ToCp1252(utf8Text)});
}

bool DlpDevice::finish(uint16_t endStatus, std::string* error) {
  if (lost_.empty()) {
    for (auto it = open_.begin(); it != open_.end();) {
      simple<msg::CloseDB>({it->first});
      it = open_.erase(it);
    }
    dlp::Response response;
    if (call(dlp::requestOf<msg::EndOfSync>({endStatus}), &response)) return true;
  }
  if (error) *error = lost_;
  return false;
}

}  // namespace hotsync::detail
