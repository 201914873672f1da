#include "folder/handheld.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "folder/card_folder.h"
#include "pdb/palm_clock.h"
#include "test_hooks.h"

namespace hotsync::detail {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxCards = 64;
constexpr uint32_t kMaxRecordSize = 0xFFFF;
constexpr std::size_t kMaxEntries = 0xFFFF;

void copyName(char* dest, std::size_t size, const std::string& text) {
  std::memset(dest, 0, size);
  std::memcpy(dest, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

std::unique_ptr<Handheld> Handheld::connect(const fs::path& dir, std::string* error) {
  auto fail = [&](const std::string& message) -> std::unique_ptr<Handheld> {
    if (error) *error = message;
    return nullptr;
  };
  std::error_code ec;
  const bool hasConfig = fs::is_regular_file(dir / "device.conf", ec);
  if (!fs::is_directory(dir, ec) || (!hasConfig && !fs::is_directory(dir / "card0", ec))) {
    return fail(dir.string() + " is not a handheld (no device.conf and no card0 folder)");
  }
  std::unique_ptr<Handheld> hh(new Handheld());
  hh->dir_ = dir;
  if (hasConfig && !readDeviceConfig(dir / "device.conf", &hh->config_, error)) return nullptr;

  // One program at a time: a second HotSync of the same handheld would
  // overwrite the first one's changes.
  hh->lockFd_ = ::open((dir / ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (hh->lockFd_ < 0) return fail(dir.string() + ": cannot create the lock file: " + std::strerror(errno));
  if (::flock(hh->lockFd_, LOCK_EX | LOCK_NB) != 0) {
    return fail(dir.string() + " is in use by another HotSync");
  }

  fs::create_directory(dir / "card0", ec);
  for (std::size_t n = 0; n < kMaxCards && fs::is_directory(dir / ("card" + std::to_string(n)), ec); ++n) {
    if (!hh->loadCard(n, error)) return nullptr;
  }
  return hh;
}

Handheld::~Handheld() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

bool Handheld::loadCard(std::size_t number, std::string* error) {
  Card card;
  const std::string cardName = "card" + std::to_string(number);
  card.dir = dir_ / cardName;
  removeStaleTemporaries(card.dir);
  finishInterruptedReplace(card.dir);
  const std::vector<std::string> files = listDatabaseFiles(card.dir);
  std::map<std::string, std::string> fileOfName;  // database name -> the file that holds it
  for (const std::string& file : files) {
    const fs::path path = card.dir / file;
    const std::string shown = cardName + "/" + file;
    // A link or a special file is never opened; its journal is never used.
    if (const std::string why = checkDatabaseFile(path); !why.empty()) {
      warnings_.push_back(shown + " skipped: " + why);
      continue;
    }
    auto slot = std::make_unique<DbSlot>();
    try {
      std::size_t size = 0;
      pdb::Layout layout = pdb::readLayout(path, &size);
      slot->fileSize = size;
      slot->entries = std::move(layout.entries);
      slot->state = DbState(std::move(layout.header));
    } catch (const std::exception& e) {
      warnings_.push_back(shown + " skipped: not a Palm database (" + e.what() + ")");
      continue;  // left alone and not listed
    }
    slot->fileName = file;
    // A card holds one database per name: the first file in name order wins,
    // and the other is left alone, unlisted, but never without a word.
    if (const auto [held, isNew] = fileOfName.emplace(slot->state.db.name, shown); !isNew) {
      warnings_.push_back(shown + " skipped: it holds the same database name as " + held->second +
                          ", which is used (a card holds one database per name)");
      continue;
    }

    // Changes a killed process journaled: replay them onto the file they were
    // made to, and fold them in. A journal made for another file is stale.
    const fs::path journal = journalPathFor(path);
    std::error_code ec;
    const fs::file_status journalStatus = fs::symlink_status(journal, ec);
    if (fs::exists(journalStatus) && !fs::is_regular_file(journalStatus)) {
      // Its frames would go wherever it points.
      if (error) {
        *error = journal.string() + (fs::is_symlink(journalStatus) ? " is a symbolic link" : " is not a regular file") +
                 ": the handheld is not connected";
      }
      return false;
    }
    if (fs::exists(journalStatus)) {
      // A file that cannot be read whole is left alone with its journal, unlisted.
      if (!load(card.dir, *slot)) continue;
      const auto contents = readJournal(journal);
      ReplayResult replay;
      if (contents) {
        const std::optional<JournalBase> base = journalBaseOfFile(path, contents->version);
        if (!base) continue;
        if (contents->version == kJournalVersion) slot->base = base;
        if (contents->base == *base) replay = replayFrames(slot->state, contents->frames);
      }
      if (replay.refused > 0) {
        warnings_.push_back(cardName + "/" + journal.filename().string() + ": " + std::to_string(replay.refused) +
                            " change" + (replay.refused == 1 ? "" : "s") +
                            " that cannot apply to the database refused");
      }
      if (replay.applied) {
        slot->journaled = true;
        if (!fold(card.dir, *slot, error)) return false;
      } else {
        fs::remove(journal, ec);
      }
    }
    card.dbs.push_back(std::move(slot));
  }
  // Journals whose database is gone (deleted, and the process killed before
  // the journal went too).
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(card.dir, ec)) {
    const std::string name = entry.path().filename().string();
    const std::string suffix = ".journal";
    if (name.size() > suffix.size() && name.ends_with(suffix) &&
        !fs::exists(fs::symlink_status(card.dir / name.substr(0, name.size() - suffix.size()), ec))) {
      fs::remove(entry.path(), ec);
    }
  }
  cards_.push_back(std::move(card));
  return true;
}

Handheld::DbSlot::~DbSlot() {
  if (fd >= 0) ::close(fd);
}

bool Handheld::load(const fs::path& cardDir, DbSlot& slot) {
  if (slot.loaded) return true;
  try {
    slot.state = DbState(pdb::readDatabase(cardDir / slot.fileName));
  } catch (const std::exception&) {
    return false;
  }
  slot.loaded = true;
  slot.entries = {};
  return true;
}

const JournalBase* Handheld::baseOf(const fs::path& cardDir, DbSlot& slot) {
  if (!slot.base) slot.base = journalBaseOfFile(cardDir / slot.fileName);
  return slot.base ? &*slot.base : nullptr;
}

uint32_t Handheld::palmNow() const {
  return pdb::palmSecondsAt(static_cast<int64_t>(std::time(nullptr)) + config_.clockOffset);
}

Handheld::DbSlot* Handheld::find(std::size_t card, const char* name, std::size_t* index) const {
  if (card >= cards_.size() || name == nullptr) return nullptr;
  const auto& dbs = cards_[card].dbs;
  for (std::size_t i = 0; i < dbs.size(); ++i) {
    if (dbs[i]->state.db.name == name) {
      if (index) *index = i;
      return dbs[i].get();
    }
  }
  return nullptr;
}

const Handheld::Handle* Handheld::handle(uint8_t h) const {
  const auto it = handles_.find(h);
  return it == handles_.end() ? nullptr : &it->second;
}

Handheld::Handle* Handheld::handle(uint8_t h) {
  const auto it = handles_.find(h);
  return it == handles_.end() ? nullptr : &it->second;
}

int32_t Handheld::readCardInfo(CardInfo* info) const {
  if (info == nullptr) return SYNCERR_BAD_ARG;
  const std::size_t n = info->m_CardNo;
  if (n >= cards_.size()) return SYNCERR_NOT_FOUND;
  uint64_t used = 0;
  for (const auto& slot : cards_[n].dbs) used += slot->fileSize;
  constexpr uint32_t kRamSize = 16u << 20;
  info->m_CardVersion = 1;
  info->m_CreationDate = 0;
  info->m_RomSize = 0;
  info->m_RamSize = kRamSize;
  info->m_FreeRam = used >= kRamSize ? 0 : kRamSize - static_cast<uint32_t>(used);
  const std::string name = "Card " + std::to_string(n);
  const std::string maker = "Tarvo";
  copyName(info->m_CardName, sizeof info->m_CardName, name);
  copyName(info->m_ManufName, sizeof info->m_ManufName, maker);
  info->m_CardNameLen = static_cast<uint8_t>(name.size());
  info->m_ManufNameLen = static_cast<uint8_t>(maker.size());
  info->m_romDbCount = 0;
  info->m_ramDbCount = static_cast<uint16_t>(std::min<std::size_t>(cards_[n].dbs.size(), 0xFFFF));
  return SYNCERR_NONE;
}

void Handheld::fillEntry(const DbSlot& slot, std::size_t card, std::size_t index, CDbList* entry) const {
  const pdb::Database& db = slot.state.db;
  entry->m_CardNum = static_cast<int32_t>(card);
  entry->m_DbFlags = db.attributes;
  entry->m_DbType = db.type;
  copyName(entry->m_Name, sizeof entry->m_Name, db.name);
  entry->m_Creator = db.creator;
  entry->m_Version = db.version;
  entry->m_ModNumber = db.modificationNumber;
  entry->m_Index = static_cast<uint16_t>(index);
  entry->m_CreateDate = db.creationDate;
  entry->m_ModDate = db.modificationDate;
  entry->m_BackupDate = db.backupDate;
  entry->m_MiscFlags = 0;
  entry->m_RecCount = static_cast<uint32_t>(slot.entryCount());
  entry->m_dwReserved = 0;
}

int32_t Handheld::readDbList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) const {
  if (list == nullptr || count == nullptr || *count < 0) return SYNCERR_BAD_ARG;
  const int32_t capacity = *count;
  *count = 0;
  if (cardNo >= cards_.size()) return SYNCERR_NOT_FOUND;
  if ((flags & DB_LIST_RAM) == 0) return SYNCERR_NOT_FOUND;  // there are no ROM databases
  const auto& dbs = cards_[cardNo].dbs;
  if (startIndex >= dbs.size()) return SYNCERR_NOT_FOUND;
  std::size_t i = startIndex;
  for (; i < dbs.size() && *count < capacity; ++i) fillEntry(*dbs[i], cardNo, i, &list[(*count)++]);
  return SYNCERR_NONE;
}

int32_t Handheld::openDb(const char* name, int32_t cardNo, uint8_t* out, uint8_t mode) {
  if (name == nullptr || out == nullptr) return SYNCERR_BAD_ARG;
  if ((mode & (eDbRead | eDbWrite)) == 0) return SYNCERR_BAD_ARG;
  if (cardNo < 0) return SYNCERR_NOT_FOUND;
  DbSlot* slot = find(static_cast<std::size_t>(cardNo), name);
  if (slot == nullptr) return SYNCERR_NOT_FOUND;
  const bool write = (mode & eDbWrite) != 0;
  const bool exclusive = (mode & eDbExclusive) != 0;
  if (slot->openCount > 0 && (write || exclusive || slot->openForWrite || slot->openExclusive)) {
    return SYNCERR_FILE_OPEN;
  }
  if (write && (slot->state.db.attributes & pdb::kAttrReadOnly) != 0) return SYNCERR_READ_ONLY;
  if (handles_.size() >= 255) return SYNCERR_LIMIT_EXCEEDED;
  const fs::path& cardDir = cards_[static_cast<std::size_t>(cardNo)].dir;
  if (write && !load(cardDir, *slot)) return SYNCERR_UNKNOWN;
  if (!slot->loaded && slot->fd < 0) {
    slot->fd = ::open((cardDir / slot->fileName).c_str(), O_RDONLY | O_CLOEXEC);
    if (slot->fd < 0) return SYNCERR_UNKNOWN;
  }
  // Handles rotate, so a stale handle rarely names a newly opened database.
  uint8_t h = lastHandle_;
  do {
    h = static_cast<uint8_t>(h + 1);
  } while (h == 0 || handles_.contains(h));
  lastHandle_ = h;
  handles_[h] = Handle{slot, static_cast<std::size_t>(cardNo), mode, {}};
  ++slot->openCount;
  slot->openForWrite = slot->openForWrite || write;
  slot->openExclusive = slot->openExclusive || exclusive;
  *out = h;
  return SYNCERR_NONE;
}

void Handheld::record(Handle& h, const Op& op) {
  applyOp(h.slot->state, op);
  encodeOp(op, &h.pending);
  if (op.kind != OpKind::BackupDate) h.slot->beyondHeader = true;
  // Dates the HotSync sets (backup date, and with the sync flags reset) are
  // no modification of the database.
  if (op.kind != OpKind::BackupDate && op.kind != OpKind::ResetFlags) h.modified = true;
}

int32_t Handheld::closeDb(uint8_t hv) {
  Handle* h = handle(hv);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  DbSlot& slot = *h->slot;
  int32_t status = SYNCERR_NONE;
  if (!h->pending.empty()) {
    if (h->modified) record(*h, Op{OpKind::Stamp, 0, 0, palmNow(), slot.state.db.modificationNumber + 1, {}});
    const fs::path& cardDir = cards_[h->card].dir;
    // A backup date alone goes straight into the file's header: no journal,
    // and no rewrite of the whole file at disconnect.
    const bool inPlace = !slot.beyondHeader && !slot.journaled && !slot.unsaved && patchHeader(cardDir, slot);
    if (!inPlace) {
      std::string error;
      const JournalBase* base = slot.unsaved ? nullptr : baseOf(cardDir, slot);
      if (base == nullptr ||
          !appendJournalFrame(journalPathFor(cardDir / slot.fileName), *base, h->pending, flushEachClose_, &error)) {
        // The journal could not take it (or an earlier change is only in
        // memory): write the whole database instead.
        slot.unsaved = true;
        if (!fold(cardDir, slot, &error)) status = SYNCERR_NOT_ENOUGH_SPACE;
      } else {
        slot.journaled = true;
      }
    }
  }
  --slot.openCount;
  if (slot.openCount == 0) {
    slot.openForWrite = slot.openExclusive = false;
    if (slot.fd >= 0) ::close(slot.fd);
    slot.fd = -1;
  }
  handles_.erase(hv);
  return status;
}

int32_t Handheld::deleteDb(const char* name, int32_t cardNo) {
  if (name == nullptr) return SYNCERR_BAD_ARG;
  if (cardNo < 0) return SYNCERR_NOT_FOUND;
  std::size_t index = 0;
  DbSlot* slot = find(static_cast<std::size_t>(cardNo), name, &index);
  if (slot == nullptr) return SYNCERR_NOT_FOUND;
  if (slot->openCount > 0) return SYNCERR_FILE_OPEN;
  Card& card = cards_[static_cast<std::size_t>(cardNo)];
  const fs::path file = card.dir / slot->fileName;
  // The file first: a journal left without its file is removed at connect.
  if (::unlink(file.c_str()) != 0 && errno != ENOENT) return SYNCERR_UNKNOWN;
  std::error_code ec;
  fs::remove(journalPathFor(file), ec);
  card.dbs.erase(card.dbs.begin() + static_cast<std::ptrdiff_t>(index));
  return SYNCERR_NONE;
}

int32_t Handheld::recordCount(uint8_t hv, uint16_t* count) const {
  if (count == nullptr) return SYNCERR_BAD_ARG;
  const Handle* h = handle(hv);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  *count = static_cast<uint16_t>(std::min<std::size_t>(h->slot->entryCount(), 0xFFFF));
  return SYNCERR_NONE;
}

int32_t Handheld::openDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) const {
  if (request == nullptr || info == nullptr || request->m_Kind != 0xC0) return SYNCERR_BAD_ARG;
  const Handle* h = handle(request->m_FileHandle);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  const auto& dbs = cards_[h->card].dbs;
  std::size_t index = 0;
  while (index < dbs.size() && dbs[index].get() != h->slot) ++index;
  fillEntry(*h->slot, h->card, index, &info->m_DbInfo);
  info->m_RecCount = static_cast<uint32_t>(h->slot->entryCount());
  return SYNCERR_NONE;
}

int32_t Handheld::readRecord(RecordInfo* rec) const {
  if (rec == nullptr) return SYNCERR_BAD_ARG;
  const Handle* h = handle(rec->m_FileHandle);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  const pdb::Database& db = h->slot->state.db;
  if (db.isResourceDb()) return SYNCERR_BAD_ARG;
  if (!h->slot->loaded) return readRecordFromFile(*h, rec);
  if (rec->m_RecIndex >= db.records.size()) return SYNCERR_NOT_FOUND;
  const pdb::Record& r = db.records[rec->m_RecIndex];
  if ((r.attributes & pdb::kRecSecret) != 0 && (h->mode & eDbShowSecret) == 0) return SYNCERR_NOT_FOUND;
  rec->m_RecId = r.uniqueId;
  rec->m_Attribs = static_cast<uint8_t>(r.attributes & ~pdb::kRecCategoryMask);
  rec->m_CatId = static_cast<int16_t>(r.attributes & pdb::kRecCategoryMask);
  rec->m_RecSize = static_cast<uint32_t>(r.data.size());
  if (r.data.size() > rec->m_TotalBytes) return SYNCERR_LOCAL_BUFF_TOO_SMALL;
  if (!r.data.empty()) {
    if (rec->m_pBytes == nullptr) return SYNCERR_BAD_ARG;
    std::memcpy(rec->m_pBytes, r.data.data(), r.data.size());
  }
  return SYNCERR_NONE;
}

int32_t Handheld::readRecordFromFile(const Handle& h, RecordInfo* rec) const {
  const DbSlot& slot = *h.slot;
  if (rec->m_RecIndex >= slot.entries.size()) return SYNCERR_NOT_FOUND;
  const pdb::Layout::Entry& e = slot.entries[rec->m_RecIndex];
  if ((e.attributes & pdb::kRecSecret) != 0 && (h.mode & eDbShowSecret) == 0) return SYNCERR_NOT_FOUND;
  const std::size_t size = e.range.to - e.range.from;
  rec->m_RecId = e.uniqueId;
  rec->m_Attribs = static_cast<uint8_t>(e.attributes & ~pdb::kRecCategoryMask);
  rec->m_CatId = static_cast<int16_t>(e.attributes & pdb::kRecCategoryMask);
  rec->m_RecSize = static_cast<uint32_t>(size);
  if (size > rec->m_TotalBytes) return SYNCERR_LOCAL_BUFF_TOO_SMALL;
  if (size == 0) return SYNCERR_NONE;
  if (rec->m_pBytes == nullptr) return SYNCERR_BAD_ARG;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(slot.fd, rec->m_pBytes + done, size - done, static_cast<off_t>(e.range.from + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return SYNCERR_UNKNOWN;
    done += static_cast<std::size_t>(n);
  }
  return SYNCERR_NONE;
}

int32_t Handheld::writeRecord(RecordInfo* rec) {
  if (rec == nullptr) return SYNCERR_BAD_ARG;
  Handle* h = handle(rec->m_FileHandle);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  if ((h->mode & eDbWrite) == 0) return SYNCERR_READ_ONLY;
  DbState& state = h->slot->state;
  if (state.db.isResourceDb()) return SYNCERR_BAD_ARG;
  if (rec->m_RecSize > kMaxRecordSize || (rec->m_RecSize > 0 && rec->m_pBytes == nullptr) ||
      rec->m_RecId > pdb::kMaxUniqueId) {
    return SYNCERR_BAD_ARG;
  }
  uint32_t id = rec->m_RecId;
  if (id == 0 || !state.positions.contains(id)) {
    if (state.db.records.size() >= kMaxEntries) return SYNCERR_LIMIT_EXCEEDED;
    if (id == 0) id = state.unusedId();
    if (id == 0) return SYNCERR_LIMIT_EXCEEDED;
  }
  Op op{OpKind::Write, id, 0, 0, 0, {}};
  // Kept: dirty, secret and the category. Delete and busy are the handheld's own.
  op.attributes = static_cast<uint8_t>((rec->m_Attribs & (pdb::kRecDirty | pdb::kRecSecret)) |
                                       (static_cast<uint8_t>(rec->m_CatId) & pdb::kRecCategoryMask));
  op.data.assign(rec->m_pBytes, rec->m_pBytes + rec->m_RecSize);
  record(*h, op);
  rec->m_RecId = id;
  return SYNCERR_NONE;
}

int32_t Handheld::deleteRecord(RecordInfo* rec) {
  if (rec == nullptr) return SYNCERR_BAD_ARG;
  Handle* h = handle(rec->m_FileHandle);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  if ((h->mode & eDbWrite) == 0) return SYNCERR_READ_ONLY;
  if (h->slot->state.db.isResourceDb()) return SYNCERR_BAD_ARG;
  const uint32_t id = rec->m_RecId;  // a packed field: copied, never bound to a reference
  if (!h->slot->state.positions.contains(id)) return SYNCERR_NOT_FOUND;
  record(*h, Op{OpKind::Delete, id, 0, 0, 0, {}});
  return SYNCERR_NONE;
}

int32_t Handheld::purgeDeleted(uint8_t hv) {
  Handle* h = handle(hv);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  if ((h->mode & eDbWrite) == 0) return SYNCERR_READ_ONLY;
  if (h->slot->state.db.isResourceDb()) return SYNCERR_BAD_ARG;
  record(*h, Op{OpKind::Purge, 0, 0, 0, 0, {}});
  return SYNCERR_NONE;
}

int32_t Handheld::resetSyncFlags(uint8_t hv) {
  Handle* h = handle(hv);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  if ((h->mode & eDbWrite) == 0) return SYNCERR_READ_ONLY;
  record(*h, Op{OpKind::ResetFlags, 0, 0, palmNow(), 0, {}});
  return SYNCERR_NONE;
}

const pdb::Database* Handheld::openDatabase(uint8_t hv) const {
  const Handle* h = handle(hv);
  if (h == nullptr) return nullptr;
  // Callers walk the whole database: read its blocks now if a read-only open left them in the file.
  if (!load(cards_[h->card].dir, *h->slot)) return nullptr;
  return &h->slot->state.db;
}

int32_t Handheld::readWhole(uint8_t hv, pdb::Database* db) const {
  if (db == nullptr) return SYNCERR_BAD_ARG;
  const pdb::Database* whole = openDatabase(hv);
  if (whole == nullptr) return handle(hv) == nullptr ? SYNCERR_FILE_NOT_OPEN : SYNCERR_FILE_BAD;
  *db = *whole;
  return SYNCERR_NONE;
}

int32_t Handheld::setBackupDate(uint8_t hv, uint32_t date) {
  Handle* h = handle(hv);
  if (h == nullptr) return SYNCERR_FILE_NOT_OPEN;
  // The change is journaled against the whole database, so it must be in memory.
  if (!load(cards_[h->card].dir, *h->slot)) return SYNCERR_FILE_BAD;
  record(*h, Op{OpKind::BackupDate, 0, 0, date, 0, {}});
  return SYNCERR_NONE;
}

bool Handheld::patchHeader(const fs::path& cardDir, DbSlot& slot) {
  const int fd = ::open((cardDir / slot.fileName).c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  // A file with a second name is only ever replaced, never changed under
  // that other name.
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
            static_cast<uint64_t>(st.st_size) == slot.fileSize;
  if (ok) {
    const pdb::HeaderPatch patch = pdb::backupDatePatch(slot.state.db.backupDate);
    // Four bytes inside the first block: a killed process leaves the old
    // date or the new one, and the file stays whole either way.
    ok = ::pwrite(fd, patch.bytes.data(), patch.bytes.size(), static_cast<off_t>(patch.offset)) ==
         static_cast<ssize_t>(patch.bytes.size());
    slot.base.reset();  // the file is no longer the one a journal would name
    if (ok && flushEachClose_) ok = ::fdatasync(fd) == 0;
    slot.patched = ok && !flushEachClose_;
  }
  ::close(fd);
  return ok;
}

bool Handheld::fold(const fs::path& cardDir, DbSlot& slot, std::string* error) {
  if (!slot.journaled && !slot.unsaved && !slot.patched) return true;
  const fs::path file = cardDir / slot.fileName;
  if (!slot.journaled && !slot.unsaved) {
    // A header written in place is on disk once the HotSync ends, as a
    // folded file is.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::fdatasync(fd) == 0;
    if (error && !flushed) *error = file.string() + ": cannot flush: " + std::strerror(errno);
    if (fd >= 0) ::close(fd);
    slot.patched = !flushed;
    return flushed;
  }
  try {
    slot.fileSize = pdb::writeDatabaseAtomic(file, slot.state.db);
    slot.base.reset();  // worked out again if another journal is started
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
  slot.beyondHeader = slot.patched = false;
  // The new file no longer matches the journal's base, so even if this
  // removal is lost the journal is never replayed twice.
  std::error_code ec;
  fs::remove(journalPathFor(file), ec);
  slot.journaled = slot.unsaved = false;
  return true;
}

bool Handheld::foldAll(std::string* error) {
  // Changes made through handles still open are kept too.
  for (auto& [hv, h] : handles_) {
    if (!h.pending.empty()) h.slot->unsaved = true;
    h.pending.clear();
  }
  // What this leaves unflushed, fold tries again and reports.
  flushPatchedHeaders();
  bool ok = true;
  for (std::size_t c = 0; c < cards_.size(); ++c) {
    for (auto& slot : cards_[c].dbs) ok = fold(cards_[c].dir, *slot, error) && ok;
  }
  return ok;
}

void Handheld::flushPatchedHeaders() {
  constexpr std::size_t kBatch = 64;  // files held open at a time
  std::vector<std::pair<DbSlot*, fs::path>> patched;
  for (const Card& card : cards_) {
    for (const auto& slot : card.dbs) {
      if (slot->patched && !slot->journaled && !slot->unsaved)
        patched.emplace_back(slot.get(), card.dir / slot->fileName);
    }
  }
  for (std::size_t from = 0; from < patched.size(); from += kBatch) {
    const std::size_t to = std::min(patched.size(), from + kBatch);
    std::vector<int> fds;
    for (std::size_t i = from; i < to; ++i) {
      fds.push_back(::open(patched[i].second.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    }
    const std::vector<int> errors = pdb::flushFiles(fds, true);
    for (std::size_t i = from; i < to; ++i) {
      const int fd = fds[i - from];
      if (fd >= 0 && errors[i - from] == 0) patched[i].first->patched = false;
      if (fd >= 0) ::close(fd);
    }
  }
}

bool Handheld::install(const pdb::Database& db, const std::vector<uint8_t>& image, std::string* error) {
  return place(db.name, db.isResourceDb(), error, [&](const fs::path& file) {
    pdb::writeFileAtomic(file, image);
    auto slot = std::make_unique<DbSlot>();
    slot->state = DbState(db);
    slot->loaded = true;
    slot->fileSize = image.size();
    return slot;
  });
}

bool Handheld::installFile(const fs::path& source, std::string* error) {
  const int fd = ::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = source.string() + ": cannot open: " + std::strerror(errno);
    return false;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  pdb::Layout layout;
  try {
    layout = pdb::readLayout(fd, source);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
  // The copy is made by the kernel (shared blocks where the file system can):
  // a database of any size passes without being held in memory. The handheld
  // keeps what the file on it says, as after a connect.
  return place(layout.header.name, layout.header.isResourceDb(), error, [&](const fs::path& file) {
    pdb::copyFileAtomic(file, fd);
    std::size_t size = 0;
    pdb::Layout placed = pdb::readLayout(file, &size);
    auto slot = std::make_unique<DbSlot>();
    slot->state = DbState(std::move(placed.header));
    slot->entries = std::move(placed.entries);
    slot->fileSize = size;
    return slot;
  });
}

bool Handheld::place(const std::string& name, bool resourceDb, std::string* error,
                     const std::function<std::unique_ptr<DbSlot>(const fs::path&)>& write) {
  Card& card = cards_.at(0);
  std::size_t index = 0;
  DbSlot* old = find(0, name.c_str(), &index);
  if (old != nullptr && old->openCount > 0) {
    if (error) *error = "the database on the handheld is open";
    return false;
  }
  std::set<std::string> taken;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(card.dir, ec)) taken.insert(entry.path().filename().string());
  const std::string ext = resourceDb ? ".prc" : ".pdb";
  std::string fileName;
  if (old != nullptr && fs::path(old->fileName).extension() == ext) {
    fileName = old->fileName;
  } else {
    fileName = databaseFileName(name, resourceDb, taken);
  }
  const bool otherFile = old != nullptr && old->fileName != fileName;
  std::unique_ptr<DbSlot> slot;
  try {
    // A kill between the two changes must not leave both files: the next
    // connect finishes the replacement from this record.
    if (otherFile) beginReplace(card.dir, old->fileName, fileName);
    slot = write(card.dir / fileName);
  } catch (const std::exception& e) {
    if (otherFile) endReplace(card.dir);
    if (error) *error = e.what();
    return false;
  }
  slot->fileName = fileName;
  if (old != nullptr) {
    crashPoint("install-replace");
    const fs::path oldFile = card.dir / old->fileName;
    fs::remove(journalPathFor(oldFile), ec);
    if (otherFile) {
      fs::remove(oldFile, ec);
      endReplace(card.dir);
    }
    card.dbs[index] = std::move(slot);
  } else {
    card.dbs.push_back(std::move(slot));
  }
  return true;
}

void Handheld::appendLog(const std::string& utf8Text) const {
  const int fd = ::open((dir_ / "hotsync.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // One write call, so concurrent appenders never interleave within an entry.
  [[maybe_unused]] const ssize_t n = ::write(fd, utf8Text.data(), utf8Text.size());
  ::close(fd);
}

std::vector<std::string> Handheld::logLines() const {
  std::vector<std::string> lines;
  std::ifstream in(dir_ / "hotsync.log", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace hotsync::detail
