#include "host/handheld_reader.h"

#include <cstdio>
#include <cstring>

#include "host/listen.h"
#include "hotsync/host.h"
#include "hotsync/syncmgr.h"
#include "pdb/pdb.h"

namespace tarvo::host {
namespace {

// The same bound the conduit puts on a card scan.
constexpr int kMaxCards = 64;

DbHeader headerFromList(const CDbList& entry, int card) {
  DbHeader header;
  header.card = card;
  header.name.assign(entry.m_Name, strnlen(entry.m_Name, sizeof entry.m_Name));
  header.type = entry.m_DbType;
  header.creator = entry.m_Creator;
  header.version = entry.m_Version;
  header.attributes = entry.m_DbFlags;
  header.modificationNumber = entry.m_ModNumber;
  header.creationDate = entry.m_CreateDate;
  header.modificationDate = entry.m_ModDate;
  header.backupDate = entry.m_BackupDate;
  header.entryCount = entry.m_RecCount;
  header.resourceDb = (entry.m_DbFlags & 0x0001) != 0;
  return header;
}

// The Sync Manager hands out records only. A resource database cannot be
// changed through it, so its file on the card holds what the handheld has.
bool readResourcesFromFile(const DbHeader& header, std::vector<DbEntry>* entries, std::string* error) {
  const std::filesystem::path card = hotsync::handheldDir() / ("card" + std::to_string(header.card));
  std::error_code ec;
  for (std::filesystem::directory_iterator it(card, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    pdb::Database db;
    try {
      db = pdb::readFile(it->path()).db;
    } catch (const std::exception&) {
      continue;
    }
    if (!db.isResourceDb() || db.name != header.name) continue;
    appendResourceEntries(db.resources, entries);
    return true;
  }
  *error = "no file holds the resource database \"" + header.name + "\"";
  return false;
}

std::string statusText(int32_t status) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "status 0x%04x", static_cast<unsigned>(status));
  return buffer;
}

}  // namespace

ConnectedHandheld::~ConnectedHandheld() {
  if (connected_) hotsync::disconnectHandheld();
}

bool ConnectedHandheld::connect(const std::filesystem::path& dir, std::string* error) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    *error = "no handheld folder " + dir.string();
    return false;
  }
  if (!hotsync::connectHandheld(dir, error)) return false;
  connected_ = true;
  for (const std::string& warning : hotsync::connectWarnings()) {
    std::fprintf(stderr, "tarvo-hotsync: warning: %s\n", warning.c_str());
  }
  return true;
}

void ConnectedHandheld::disconnect() {
  if (connected_) hotsync::disconnectHandheld();
  connected_ = false;
}

bool ConnectedHandheld::listen(const std::string& address, std::string* error) {
  if (!waitForHandheld(address, error)) return false;
  connected_ = true;
  return true;
}

std::vector<DbHeader> listDatabases() {
  std::vector<DbHeader> result;
  for (int card = 0; card < kMaxCards; ++card) {
    CardInfo info{};
    info.m_CardNo = static_cast<uint8_t>(card);
    const int32_t status = SyncReadSingleCardInfo(&info);
    if (status == SYNCERR_NOT_FOUND) break;
    if (status != SYNCERR_NONE || info.m_ramDbCount == 0) continue;
    std::vector<CDbList> list(info.m_ramDbCount);
    int32_t count = static_cast<int32_t>(list.size());
    if (SyncReadDBList(static_cast<uint8_t>(card), 0, DB_LIST_RAM, list.data(), &count) != SYNCERR_NONE) continue;
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(list.size()); ++i)
      result.push_back(headerFromList(list[i], card));
  }
  return result;
}

bool readDatabase(const std::string& name, DbHeader* header, std::vector<DbEntry>* entries, std::string* error) {
  const DbHeader* found = nullptr;
  const std::vector<DbHeader> all = listDatabases();
  for (const DbHeader& candidate : all) {
    if (candidate.name == name) {
      found = &candidate;
      break;
    }
  }
  if (found == nullptr) {
    *error = "no database named \"" + name + "\" on the handheld";
    return false;
  }
  *header = *found;
  if (header->resourceDb) return readResourcesFromFile(*header, entries, error);
  uint8_t handle = 0;
  const int32_t opened = SyncOpenDB(name.c_str(), found->card, &handle, eDbRead | eDbShowSecret);
  if (opened != SYNCERR_NONE) {
    *error = "cannot open \"" + name + "\": " + statusText(opened);
    return false;
  }
  uint16_t count = 0;
  SyncGetDBRecordCount(handle, &count);
  header->entryCount = count;
  std::vector<uint8_t> buffer(0xFFFF);
  for (uint16_t index = 0; index < count; ++index) {
    RecordInfo rec{};
    rec.m_FileHandle = handle;
    rec.m_RecIndex = index;
    rec.m_TotalBytes = 0xFFFF;
    rec.m_pBytes = buffer.data();
    DbEntry entry;
    entry.index = index;
    const int32_t status = SyncReadRecordByIndex(&rec);
    if (status != SYNCERR_NONE) {
      entry.error = "not readable through the Sync Manager: " + statusText(status);
    } else {
      entry.uniqueId = rec.m_RecId;
      entry.attributes = static_cast<uint8_t>(rec.m_Attribs | (rec.m_CatId & 0x0F));
      const size_t size = rec.m_RecSize < buffer.size() ? rec.m_RecSize : buffer.size();
      entry.data.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
    }
    entries->push_back(std::move(entry));
  }
  SyncCloseDB(handle);
  return true;
}

}  // namespace tarvo::host
