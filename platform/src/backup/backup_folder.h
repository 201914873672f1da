// A user's backup folder: one database file per handheld database, and an
// index of what each file was made from, so that an unchanged database is
// known without reading it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "hotsync/sync_types.h"
#include "pdb/pdb.h"

namespace hotsync::detail {

class BackupFolder {
 public:
  // Makes the folder (owner only) when missing and reads its index; a
  // missing or unreadable index means nothing is known to be backed up.
  explicit BackupFolder(std::filesystem::path dir);

  // Whether the database the list entry describes has a backup made from
  // this very state (same modification number and date, file still there).
  bool upToDate(const CDbList& entry) const;

  // Writes `db` (from card `card`) as its file: the new copy is completed
  // and flushed under a temporary name, the previous one stays as NAME.bak
  // until the new one has taken its place. Throws std::runtime_error.
  void write(uint32_t card, const pdb::Database& db);

  // Writes the index, atomically. False when it cannot.
  bool saveIndex() const;

 private:
  struct Entry {
    uint32_t modNumber = 0;
    uint32_t modDate = 0;
    std::string file;
  };
  using Key = std::pair<uint32_t, std::string>;  // card, database name

  std::string fileFor(const Key& key, bool resourceDb) const;

  std::filesystem::path dir_;
  std::map<Key, Entry> index_;
};

}  // namespace hotsync::detail
