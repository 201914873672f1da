// The HotSync's own backup of the handheld into the user's backup folder,
// and reading such a folder back (ours, or one another Palm tool wrote).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "hotsync/syncmgr.h"

namespace pdb {
struct Database;
}

namespace hotsync {

// userDir(user)/backup: one .pdb/.prc per database.
HOTSYNC_EXPORT std::filesystem::path userBackupDir(const std::string& user);

struct BackupOptions {
  // Databases of these creators are their conduits' business.
  std::set<uint32_t> skipCreators;
  // Called with each database's name (UTF-8) before it is read.
  std::function<void(const std::string&)> progress;
};

struct BackupReport {
  int backedUp = 0;
  int unchanged = 0;
  std::vector<std::string> failures;  // one line each, also in the desktop log
  bool cancelled = false;
};

// Backs up into the current user's backup folder every database of the
// connected handheld whose backup bit is set and which changed since its
// last backup (modification number or date, or never backed up), then sets
// its backup date on the handheld. An unchanged database is not read.
HOTSYNC_EXPORT BackupReport backupHandheld(const BackupOptions& options);

// Reads the whole database behind `handle`, open on the connected handheld
// over any link: header, app and sort info, every record or resource (the
// Sync Manager's record calls cannot read resources). SYNCERR_NONE, or the
// status that stopped it.
HOTSYNC_EXPORT int32_t readWholeDatabase(uint8_t handle, pdb::Database* db) noexcept;

// One database file of a backup folder, as its header describes it.
struct BackupFile {
  std::filesystem::path path;
  std::string name;  // Windows-1252, as on the handheld
  bool resourceDb = false;
  uint16_t version = 0;
  uint32_t type = 0;
  uint32_t creator = 0;
  uint32_t creationDate = 0;
  uint32_t modificationDate = 0;
  uint32_t modificationNumber = 0;
  uint32_t entries = 0;  // records or resources
};

// The databases of a backup folder, in name order. File names do not
// matter: the name is the header's. A copy that is not a database (or is
// another file of the same database) is skipped with a line in *skipped;
// where only the previous copy (NAME.pdb.bak) of a database reads, it is used.
HOTSYNC_EXPORT std::vector<BackupFile> readBackupFolder(const std::filesystem::path& dir,
                                                        std::vector<std::string>* skipped);

// Whether the connected handheld holds the database of `file` with the same
// content: blocks, records (ids, category, secret flag, bytes) or resources.
// Dates and modification numbers do not count, since a handheld stamps its
// own on what is installed. False when it cannot tell.
HOTSYNC_EXPORT bool heldUnchanged(const std::filesystem::path& file);

// Puts a database file on the connected handheld the way a queued file is
// installed: checked first, then on card 0 in place of one of the same name.
HOTSYNC_EXPORT bool installDatabase(const std::filesystem::path& file, std::string* error);

}  // namespace hotsync
