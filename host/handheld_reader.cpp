#include "host/handheld_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/commands.h"
#include "host/manager_client.h"
#include "hotsync/backup.h"
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

std::string statusText(int32_t status) {
  // A live handheld that went away says why.
  if (const std::string lost = hotsync::handheldLost(); status == SYNCERR_NOT_CONNECTED && !lost.empty()) return lost;
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

void ConnectedHandheld::disconnect(hotsync::SyncEnd end) {
  if (connected_) hotsync::disconnectHandheld(end);
  connected_ = false;
}

int ConnectedHandheld::wait(const ChosenPort& port, std::string* error) {
  const int status = waitForHandheld(port, error);
  connected_ = status == kExitOk;
  return status;
}

int ConnectedHandheld::open(bool live, const ChosenPort& port, const std::filesystem::path& dir, std::string* error) {
  if (!live) return connect(dir, error) ? kExitOk : kExitBadInput;
  if (std::string owner = managerWaitsOn(hotsync::portText(port.name)); !owner.empty()) {
    *error = std::move(owner);
    return kExitBadInput;
  }
  return wait(port, error);
}

bool listDatabases(std::vector<DbHeader>* out, std::string* error) {
  constexpr int32_t kPage = 64;
  for (int card = 0; card < kMaxCards; ++card) {
    CardInfo info{};
    info.m_CardNo = static_cast<uint8_t>(card);
    const int32_t status = SyncReadSingleCardInfo(&info);
    if (status == SYNCERR_NOT_FOUND) break;
    if (status != SYNCERR_NONE) {
      *error = "cannot read card " + std::to_string(card) + " of the handheld: " + statusText(status);
      return false;
    }
    // The card's count is only a hint: the list goes on until the handheld
    // says there is no more.
    std::vector<CDbList> page(kPage);
    std::size_t listed = 0;
    for (uint32_t start = 0; start <= 0xFFFF;) {
      int32_t count = kPage;
      const int32_t listedStatus =
          SyncReadDBList(static_cast<uint8_t>(card), static_cast<uint16_t>(start), DB_LIST_RAM, page.data(), &count);
      if (listedStatus == SYNCERR_NOT_FOUND || (listedStatus == SYNCERR_NONE && count <= 0)) break;
      if (listedStatus != SYNCERR_NONE) {
        *error = "cannot list the databases on card " + std::to_string(card) + ": " + statusText(listedStatus);
        return false;
      }
      count = std::min(count, kPage);
      for (int32_t i = 0; i < count; ++i) out->push_back(headerFromList(page[static_cast<std::size_t>(i)], card));
      listed += static_cast<std::size_t>(count);
      const uint32_t next = page[static_cast<std::size_t>(count - 1)].m_Index + 1u;
      if (next <= start) break;  // a list that does not move on ends here
      start = next;
    }
    if (listed == 0 && info.m_ramDbCount > 0) {
      *error = "card " + std::to_string(card) + " holds " + std::to_string(info.m_ramDbCount) +
               " databases, but the handheld listed none";
      return false;
    }
  }
  return true;
}

bool readDatabase(const std::string& name, DbHeader* header, std::vector<DbEntry>* entries, std::string* error) {
  uint8_t handle = 0;
  int card = 0;
  int32_t opened = SYNCERR_NOT_FOUND;
  for (; card < kMaxCards && opened == SYNCERR_NOT_FOUND; ++card) {
    CardInfo info{};
    info.m_CardNo = static_cast<uint8_t>(card);
    if (SyncReadSingleCardInfo(&info) != SYNCERR_NONE) break;
    opened = SyncOpenDB(name.c_str(), card, &handle, eDbRead | eDbShowSecret);
  }
  if (opened == SYNCERR_NOT_FOUND) {
    *error = "no database named \"" + name + "\" on the handheld";
    return false;
  }
  if (opened != SYNCERR_NONE) {
    *error = "cannot open \"" + name + "\": " + statusText(opened);
    return false;
  }
  OpenDbInfoRequest request{0xC0, handle};
  OpenDbInfo info{};
  if (const int32_t status = SyncReadOpenDbInfo(&request, &info); status != SYNCERR_NONE) {
    SyncCloseDB(handle);
    *error = "cannot read the header of \"" + name + "\": " + statusText(status);
    return false;
  }
  *header = headerFromList(info.m_DbInfo, card - 1);
  if (header->resourceDb) {
    // The Sync Manager's record calls hand out records only.
    pdb::Database db;
    const int32_t status = hotsync::readWholeDatabase(handle, &db);
    SyncCloseDB(handle);
    if (status != SYNCERR_NONE) {
      *error = "cannot read the resources of \"" + name + "\": " + statusText(status);
      return false;
    }
    appendResourceEntries(db.resources, entries);
    return true;
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
