// Reading a backup folder back, and putting its databases on a handheld.
#include <algorithm>
#include <map>
#include <system_error>

#include "folder/card_folder.h"
#include "hotsync/backup.h"
#include "pdb/pdb.h"
#include "session.h"
#include "text/cp1252.h"

namespace hotsync {
namespace fs = std::filesystem;

namespace {

bool databaseExtension(const fs::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // .pqa: web clipping applications, which other tools' backups hold too.
  return ext == ".pdb" || ext == ".prc" || ext == ".pqa";
}

// The header of `file`, or an empty optional with *why.
bool readHeader(const fs::path& file, BackupFile* out, std::string* why) {
  if (std::string reason = detail::checkDatabaseFile(file); !reason.empty()) {
    *why = reason;
    return false;
  }
  try {
    const pdb::Layout layout = pdb::readLayout(file);
    const pdb::Database& h = layout.header;
    *out = BackupFile{file,
                      h.name,
                      h.isResourceDb(),
                      h.version,
                      h.type,
                      h.creator,
                      h.creationDate,
                      h.modificationDate,
                      h.modificationNumber,
                      static_cast<uint32_t>(layout.entries.size())};
    return true;
  } catch (const std::exception& e) {
    *why = std::string("not a Palm database (") + e.what() + ")";
    return false;
  }
}

}  // namespace

std::vector<BackupFile> readBackupFolder(const fs::path& dir, std::vector<std::string>* skipped) {
  auto skip = [&](const fs::path& file, const std::string& why) {
    if (skipped) skipped->push_back(file.filename().string() + " skipped: " + why);
  };
  std::vector<fs::path> files;
  std::vector<fs::path> previous;  // NAME.pdb.bak: a copy left while its replacement was written
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const fs::path& path = entry.path();
    const std::string name = path.filename().string();
    if (name.empty() || name[0] == '.') continue;
    if (path.extension() == ".bak" && databaseExtension(path.stem())) {
      previous.push_back(path);
    } else if (databaseExtension(path)) {
      files.push_back(path);
    }
  }
  if (ec && skipped) skipped->push_back(dir.string() + ": " + ec.message());
  std::sort(files.begin(), files.end());
  std::sort(previous.begin(), previous.end());

  std::map<std::string, BackupFile> byName;
  std::map<fs::path, bool> unreadable;  // file -> true when it did not read
  for (const fs::path& file : files) {
    BackupFile found;
    std::string why;
    if (!readHeader(file, &found, &why)) {
      unreadable[file] = true;
      skip(file, why);
      continue;
    }
    if (const auto [held, isNew] = byName.emplace(found.name, found); !isNew) {
      skip(file, "the same database as " + held->second.path.filename().string());
    }
  }
  for (const fs::path& file : previous) {
    // Only stands in for a copy that cannot be read or is gone.
    const fs::path replaced = file.parent_path() / file.stem();
    if (std::find(files.begin(), files.end(), replaced) != files.end() && !unreadable.contains(replaced)) continue;
    BackupFile found;
    std::string why;
    if (readHeader(file, &found, &why)) byName.emplace(found.name, found);
  }
  std::vector<BackupFile> out;
  for (auto& [name, file] : byName) out.push_back(std::move(file));
  return out;
}

bool heldUnchanged(const fs::path& file) {
  try {
    const pdb::Database wanted = pdb::readDatabase(file);
    auto& s = detail::session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) return false;
    detail::Device& device = *s.handheld;
    uint8_t handle = 0;
    if (device.openDb(wanted.name.c_str(), 0, &handle, eDbRead | eDbShowSecret) != SYNCERR_NONE) return false;
    pdb::Database held;
    const int32_t status = device.readWholeDatabase(handle, &held);
    device.closeDb(handle);
    if (status != SYNCERR_NONE) return false;
    // Only what a record's owner set: busy, dirty and deleted are the
    // handheld's own bookkeeping.
    constexpr uint8_t kOwnersAttributes = 0x1F;
    auto sameRecord = [](const pdb::Record& a, const pdb::Record& b) {
      return a.uniqueId == b.uniqueId && (a.attributes & kOwnersAttributes) == (b.attributes & kOwnersAttributes) &&
             a.data == b.data;
    };
    return held.isResourceDb() == wanted.isResourceDb() && held.type == wanted.type && held.creator == wanted.creator &&
           held.version == wanted.version && held.appInfo == wanted.appInfo && held.sortInfo == wanted.sortInfo &&
           held.resources == wanted.resources &&
           std::equal(held.records.begin(), held.records.end(), wanted.records.begin(), wanted.records.end(),
                      sameRecord);
  } catch (const std::exception&) {
    return false;
  }
}

bool installDatabase(const fs::path& file, std::string* error) {
  try {
    if (const std::string why = detail::checkDatabaseFile(file); !why.empty()) {
      if (error) *error = file.filename().string() + ": " + why;
      return false;
    }
    auto& s = detail::session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) {
      if (error) *error = "no handheld connected";
      return false;
    }
    return s.handheld->install(file, error);
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

}  // namespace hotsync
