#include "backup/backup_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "folder/card_folder.h"
#include "folder/crash_point.h"

namespace hotsync::detail {
namespace fs = std::filesystem;

namespace {

constexpr const char* kIndexFile = ".index";

std::string hexOf(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out.push_back(digits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(digits[static_cast<unsigned char>(c) & 0xF]);
  }
  return out;
}

bool fromHex(const std::string& hex, std::string* out) {
  if (hex.size() % 2 != 0) return false;
  out->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(hex.c_str() + i, "%2x", &value) != 1) return false;
    out->push_back(static_cast<char>(value));
  }
  return true;
}

}  // namespace

BackupFolder::BackupFolder(fs::path dir) : dir_(std::move(dir)) {
  std::error_code ec;
  if (fs::create_directories(dir_, ec)) ::chmod(dir_.c_str(), 0700);
  removeStaleTemporaries(dir_);
  // One line per database: card, modification number and date, the name
  // in hex (any bytes), then the file name (the rest of the line).
  std::ifstream in(dir_ / kIndexFile);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    uint32_t card = 0;
    Entry entry;
    std::string hexName;
    std::string name;
    if (!(fields >> card >> entry.modNumber >> entry.modDate >> hexName) || !fromHex(hexName, &name)) continue;
    fields.get();
    std::getline(fields, entry.file);
    // Only plain names inside the folder: the index must never point elsewhere.
    if (entry.file.empty() || entry.file.find('/') != std::string::npos || entry.file[0] == '.') continue;
    index_[{card, name}] = std::move(entry);
  }
}

bool BackupFolder::upToDate(const CDbList& list) const {
  if (list.m_BackupDate == 0) return false;  // never backed up
  const Key key{static_cast<uint32_t>(list.m_CardNum),
                std::string(list.m_Name, strnlen(list.m_Name, sizeof list.m_Name))};
  const auto it = index_.find(key);
  if (it == index_.end()) return false;
  const uint32_t modNumber = list.m_ModNumber;
  const uint32_t modDate = list.m_ModDate;
  if (it->second.modNumber != modNumber || it->second.modDate != modDate) return false;
  std::error_code ec;
  return fs::is_regular_file(dir_ / it->second.file, ec);
}

std::string BackupFolder::fileFor(const Key& key, bool resourceDb) const {
  const std::string ext = resourceDb ? ".prc" : ".pdb";
  if (const auto it = index_.find(key); it != index_.end() && fs::path(it->second.file).extension() == ext) {
    return it->second.file;
  }
  std::set<std::string> others;
  for (const auto& [k, entry] : index_) others.insert(entry.file);
  // Card 0 keeps the plain name; another card's copy says which card it is from.
  std::string stem = key.second;
  if (key.first != 0) stem = "card" + std::to_string(key.first) + " " + stem;
  // A copy the index does not know yet (written by a backup killed before
  // it saved the index) is taken again rather than left beside a new one.
  std::set<std::string> taken;
  for (;;) {
    const std::string file = databaseFileName(stem, resourceDb, taken);
    std::error_code ec;
    if (!others.contains(file)) {
      if (!fs::exists(fs::symlink_status(dir_ / file, ec))) return file;
      try {
        if (checkDatabaseFile(dir_ / file).empty() && pdb::readLayout(dir_ / file).header.name == key.second) {
          return file;
        }
      } catch (const std::exception&) {
      }
    }
    taken.insert(file);
  }
}

void BackupFolder::write(uint32_t card, const pdb::Database& db) {
  const Key key{card, db.name};
  const std::string file = fileFor(key, db.isResourceDb());
  const fs::path path = dir_ / file;
  const fs::path previous = dir_ / (file + ".bak");
  std::error_code ec;
  fs::remove(previous, ec);
  // The previous copy keeps a second name until the new one is complete.
  const bool hadCopy = ::link(path.c_str(), previous.c_str()) == 0;
  crashPoint("backup-write");
  pdb::writeDatabaseAtomic(path, db);
  if (hadCopy) fs::remove(previous, ec);
  if (const auto old = index_.find(key); old != index_.end() && old->second.file != file) {
    fs::remove(dir_ / old->second.file, ec);
  }
  index_[key] = Entry{db.modificationNumber, db.modificationDate, file};
}

bool BackupFolder::saveIndex() const {
  std::string text;
  for (const auto& [key, entry] : index_) {
    text += std::to_string(key.first) + " " + std::to_string(entry.modNumber) + " " + std::to_string(entry.modDate) +
            " " + hexOf(key.second) + " " + entry.file + "\n";
  }
  try {
    pdb::writeFileAtomic(dir_ / kIndexFile, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace hotsync::detail
