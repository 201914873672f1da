// A user's backup folder: one database file per handheld database, and an
// index of what each file was made from, so that an unchanged database is
// known without reading it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

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

  // Stages `db` (from card `card`) as its file: the new copy is completed
  // and flushed under a temporary name, and the previous one gets a second
  // name, NAME.bak, until commit has put the new one in its place. Throws
  // std::runtime_error.
  void stage(uint32_t card, const pdb::Database& db);

  // Puts every staged copy in place with one flush of the folder, then drops
  // the previous copies; the index follows when all went in. One text per
  // staged copy, in staging order: empty for a copy now in place, else why
  // it is not.
  std::vector<std::string> commit();

  // Writes the index, atomically, when it differs from its file. False when
  // it cannot.
  bool saveIndex() const;

 private:
  struct Entry {
    uint32_t modNumber = 0;
    uint32_t modDate = 0;
    std::string file;
  };
  using Key = std::pair<uint32_t, std::string>;  // card, database name

  struct Staged {
    Key key;
    Entry entry;
    pdb::StagedFile file;
    bool hadCopy = false;  // NAME.bak holds the previous copy
  };

  // Notes the folder's regular files and removes a killed backup's temporaries.
  void listFolder();
  std::string fileFor(const Key& key, bool resourceDb) const;
  pdb::StagedFile stageIndex(const std::map<Key, Entry>& index) const;

  std::filesystem::path dir_;
  std::map<Key, Entry> index_;
  // The regular files the folder held when it was opened: one listing
  // instead of a look at each database's copy.
  std::set<std::string> present_;
  std::vector<Staged> staged_;
  bool changed_ = false;  // the index differs from its file
};

}  // namespace hotsync::detail
