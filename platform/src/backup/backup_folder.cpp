#include "backup/backup_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <set>
#include <string_view>
#include <system_error>

#include "folder/card_folder.h"
#include "folder/whole_file.h"
#include "test_hooks.h"

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

int nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool fromHex(std::string_view hex, std::string* out) {
  if (hex.empty() || hex.size() % 2 != 0) return false;
  out->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = nibble(hex[i]);
    const int low = nibble(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out->push_back(static_cast<char>(high << 4 | low));
  }
  return true;
}

// The next field of `line` (up to a space) taken off its front.
std::string_view takeField(std::string_view* line) {
  const std::size_t start = line->find_first_not_of(' ');
  if (start == std::string_view::npos) return *line = {};
  const std::size_t end = std::min(line->find(' ', start), line->size());
  const std::string_view field = line->substr(start, end - start);
  line->remove_prefix(end);
  return field;
}

bool takeNumber(std::string_view* line, uint32_t* value) {
  const std::string_view field = takeField(line);
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), *value);
  return !field.empty() && error == std::errc() && end == field.data() + field.size();
}

}  // namespace

BackupFolder::BackupFolder(fs::path dir) : dir_(std::move(dir)) {
  std::error_code ec;
  if (fs::create_directories(dir_, ec)) ::chmod(dir_.c_str(), 0700);
  listFolder();
  // Lines as stageIndex writes them.
  const std::string text = readWholeFile(dir_ / kIndexFile).value_or("");
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line(text.data() + at, end - at);
    at = end + 1;
    uint32_t card = 0;
    Entry entry;
    std::string name;
    if (!takeNumber(&line, &card) || !takeNumber(&line, &entry.modNumber) || !takeNumber(&line, &entry.modDate) ||
        !fromHex(takeField(&line), &name) || line.empty()) {
      continue;
    }
    entry.file = line.substr(1);
    // Only plain names inside the folder: the index must never point elsewhere.
    if (entry.file.empty() || entry.file.find('/') != std::string::npos || entry.file[0] == '.') continue;
    index_[{card, name}] = std::move(entry);
  }
}

void BackupFolder::listFolder() {
  DIR* folder = ::opendir(dir_.c_str());
  if (folder == nullptr) return;
  while (const dirent* file = ::readdir(folder)) {
    const std::string name = file->d_name;
    if (name == "." || name == "..") continue;
    if (isWriterTemporary(name)) {
      ::unlinkat(::dirfd(folder), file->d_name, 0);  // left by a killed backup
      continue;
    }
    bool regular = file->d_type == DT_REG;
    if (file->d_type == DT_UNKNOWN || file->d_type == DT_LNK) {
      struct stat st {};
      regular = ::fstatat(::dirfd(folder), file->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    if (regular) present_.insert(name);
  }
  ::closedir(folder);
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
  return present_.contains(it->second.file);
}

std::string BackupFolder::fileFor(const Key& key, bool resourceDb) const {
  const std::string ext = resourceDb ? ".prc" : ".pdb";
  if (const auto it = index_.find(key); it != index_.end() && fs::path(it->second.file).extension() == ext) {
    return it->second.file;
  }
  std::set<std::string> others;
  for (const auto& [k, entry] : index_) others.insert(entry.file);
  for (const Staged& staged : staged_) others.insert(staged.entry.file);
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

void BackupFolder::stage(uint32_t card, const pdb::Database& db) {
  Key key{card, db.name};
  std::string file = fileFor(key, db.isResourceDb());
  const fs::path path = dir_ / file;
  const fs::path previous = dir_ / (file + ".bak");
  std::error_code ec;
  fs::remove(previous, ec);
  // The previous copy keeps a second name until the new one is complete.
  const bool hadCopy = ::link(path.c_str(), previous.c_str()) == 0;
  crashPoint("backup-write");
  pdb::StagedFile staged = pdb::stageDatabase(path, db);
  staged_.push_back(Staged{std::move(key), Entry{db.modificationNumber, db.modificationDate, std::move(file)},
                           std::move(staged), hadCopy});
}

std::vector<std::string> BackupFolder::commit() {
  if (staged_.empty()) return {};
  std::vector<pdb::StagedFile> files;
  for (Staged& staged : staged_) files.push_back(std::move(staged.file));
  // The index as it is once every copy is in place is flushed with the
  // copies, but takes its place only after theirs are on disk, so it never
  // names a copy newer than the one in the folder.
  std::vector<pdb::StagedFile> index;
  try {
    std::map<Key, Entry> next = index_;
    for (const Staged& staged : staged_) next[staged.key] = staged.entry;
    files.push_back(stageIndex(next));
    pdb::flushStaged(files);
    index.push_back(std::move(files.back()));
    files.pop_back();
  } catch (const std::exception&) {
    // saveIndex writes it on its own
  }
  // Until the folder is flushed, the previous copies keep their second names.
  std::vector<std::string> errors = pdb::placeStaged(std::move(files), true);
  bool allPlaced = true;
  std::error_code ec;
  for (std::size_t i = 0; i < staged_.size(); ++i) {
    Staged& staged = staged_[i];
    if (!errors[i].empty()) {
      allPlaced = false;
      continue;
    }
    if (staged.hadCopy) fs::remove(dir_ / (staged.entry.file + ".bak"), ec);
    if (const auto old = index_.find(staged.key); old != index_.end() && old->second.file != staged.entry.file) {
      fs::remove(dir_ / old->second.file, ec);
      present_.erase(old->second.file);
    }
    present_.insert(staged.entry.file);
    index_[staged.key] = std::move(staged.entry);
    changed_ = true;
  }
  staged_.clear();
  if (allPlaced && !index.empty() && pdb::placeStaged(std::move(index), false).front().empty()) changed_ = false;
  return errors;
}

bool BackupFolder::saveIndex() const {
  if (!changed_) return true;
  try {
    std::vector<pdb::StagedFile> index;
    index.push_back(stageIndex(index_));
    // Its copies' renames are on disk already (commit). Losing its own
    // rename to a power cut only makes the next backup copy them again.
    return pdb::placeStaged(std::move(index), false).front().empty();
  } catch (const std::exception&) {
    return false;
  }
}

pdb::StagedFile BackupFolder::stageIndex(const std::map<Key, Entry>& index) const {
  // One line per database: card, modification number and date, the name
  // in hex (any bytes), then the file name (the rest of the line).
  std::string text;
  text.reserve(index.size() * 64);
  for (const auto& [key, entry] : index) {
    for (const uint32_t number : {key.first, entry.modNumber, entry.modDate}) {
      text += std::to_string(number);
      text += ' ';
    }
    text += hexOf(key.second);
    text += ' ';
    text += entry.file;
    text += '\n';
  }
  return pdb::stageFile(dir_ / kIndexFile, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace hotsync::detail
