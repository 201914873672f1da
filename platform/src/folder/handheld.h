// A connected simulated handheld: its cards and databases held in memory for
// the HotSync, the open handles, and the files behind them. Not thread-safe;
// the library's mutex guards it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "folder/device_config.h"
#include "folder/journal.h"
#include "folder/record_ops.h"
#include "hotsync/sync_types.h"

namespace hotsync::detail {

class Handheld {
 public:
  static std::unique_ptr<Handheld> connect(const std::filesystem::path& dir, std::string* error);
  ~Handheld();
  Handheld(const Handheld&) = delete;
  Handheld& operator=(const Handheld&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  // Whether each SyncCloseDB also flushes its journal entry to disk.
  void setFlushEachClose(bool flush) { flushEachClose_ = flush; }
  const DeviceConfig& config() const { return config_; }
  // Files skipped and journal changes refused while connecting, one line each.
  const std::vector<std::string>& warnings() const { return warnings_; }
  // The handheld's clock in Palm seconds: the desktop's local wall clock plus the configured offset.
  uint32_t palmNow() const;

  int32_t readCardInfo(CardInfo* info) const;
  int32_t readDbList(uint8_t cardNo, uint16_t startIndex, uint32_t flags, CDbList* list, int32_t* count) const;
  int32_t openDb(const char* name, int32_t cardNo, uint8_t* handle, uint8_t mode);
  int32_t closeDb(uint8_t handle);
  int32_t deleteDb(const char* name, int32_t cardNo);
  int32_t recordCount(uint8_t handle, uint16_t* count) const;
  int32_t openDbInfo(const OpenDbInfoRequest* request, OpenDbInfo* info) const;
  int32_t readRecord(RecordInfo* rec) const;
  int32_t writeRecord(RecordInfo* rec);
  int32_t deleteRecord(RecordInfo* rec);
  int32_t purgeDeleted(uint8_t handle);
  int32_t resetSyncFlags(uint8_t handle);
  // The database behind an open handle, for what the Sync Manager calls do
  // not reach (app info, resources); nullptr when the handle is not open.
  const pdb::Database* openDatabase(uint8_t handle) const;
  // A copy of the whole database behind an open handle, this HotSync's
  // changes included.
  int32_t readWhole(uint8_t handle, pdb::Database* db) const;
  // Sets the backup date of the database behind an open handle (read-only
  // databases too). Kept at close like a change, but it is no modification:
  // the modification number and date stay.
  int32_t setBackupDate(uint8_t handle, uint32_t date);

  // Puts a database on card 0, replacing one of the same name there; the file
  // gets `image` byte for byte. False with *error when it cannot.
  bool install(const pdb::Database& db, const std::vector<uint8_t>& image, std::string* error);
  // The same with a database file's bytes, copied without passing through
  // memory; the file is checked as a connect checks the handheld's own.
  bool installFile(const std::filesystem::path& source, std::string* error);
  // Writes every changed database into its file and drops the journals.
  bool foldAll(std::string* error);

  void appendLog(const std::string& utf8Text) const;
  std::vector<std::string> logLines() const;

 private:
  // A database on a card. Connecting reads only its header and entry list.
  // Reading through a handle takes each record from the file; the first
  // handle that may write reads every block into memory. The file's journal
  // base (a hash of the whole file) is worked out when a journal is first
  // written or replayed.
  struct DbSlot {
    ~DbSlot();
    std::string fileName;
    DbState state{pdb::Database{}};  // only the header until `loaded`
    bool loaded = false;
    std::vector<pdb::Layout::Entry> entries;  // the file's entry list, until loaded
    int fd = -1;                              // the file, while read through handles unloaded
    uint64_t fileSize = 0;
    std::optional<JournalBase> base;
    bool journaled = false;  // a journal holds changes the file lacks
    bool unsaved = false;    // memory holds changes neither file nor journal has
    // Memory differs from the file in more than the backup date (a change
    // made through a handle still open, or one journaled).
    bool beyondHeader = false;
    bool patched = false;  // the header was written in place since the last flush
    int openCount = 0;
    bool openForWrite = false;
    bool openExclusive = false;

    std::size_t entryCount() const { return loaded ? state.entryCount() : entries.size(); }
  };
  struct Card {
    std::filesystem::path dir;
    std::vector<std::unique_ptr<DbSlot>> dbs;
  };
  struct Handle {
    DbSlot* slot = nullptr;
    std::size_t card = 0;
    uint8_t mode = 0;
    std::string pending;    // the change list written at close
    bool modified = false;  // pending holds more than a backup date: stamp at close
  };

  Handheld() = default;
  // Writes the database `name` into its file on card 0 through `write`
  // (which returns the new slot, or throws) and puts it in place of an old one.
  bool place(const std::string& name, bool resourceDb, std::string* error,
             const std::function<std::unique_ptr<DbSlot>(const std::filesystem::path&)>& write);
  bool loadCard(std::size_t number, std::string* error);
  DbSlot* find(std::size_t card, const char* name, std::size_t* index = nullptr) const;
  const Handle* handle(uint8_t h) const;
  Handle* handle(uint8_t h);
  // Reads the slot's blocks if not yet read; false when the file cannot be.
  static bool load(const std::filesystem::path& cardDir, DbSlot& slot);
  static const JournalBase* baseOf(const std::filesystem::path& cardDir, DbSlot& slot);
  int32_t readRecordFromFile(const Handle& h, RecordInfo* rec) const;
  void fillEntry(const DbSlot& slot, std::size_t card, std::size_t index, CDbList* entry) const;
  bool fold(const std::filesystem::path& cardDir, DbSlot& slot, std::string* error);
  // Writes the backup date into the file's header where the file differs
  // from memory in nothing else; false when it cannot (the caller journals).
  bool patchHeader(const std::filesystem::path& cardDir, DbSlot& slot);
  // Puts the headers written in place on disk, many files at once.
  void flushPatchedHeaders();
  void record(Handle& h, const Op& op);

  std::filesystem::path dir_;
  DeviceConfig config_;
  int lockFd_ = -1;
  bool flushEachClose_ = false;
  std::vector<Card> cards_;
  std::map<uint8_t, Handle> handles_;
  uint8_t lastHandle_ = 0;
  std::vector<std::string> warnings_;
};

}  // namespace hotsync::detail
