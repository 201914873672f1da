#include "folder/card_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "folder/journal.h"
#include "pdb/pdb.h"
#include "text/cp1252.h"

namespace hotsync::detail {
namespace fs = std::filesystem;

namespace {

bool isDatabaseFile(const std::string& name) {
  if (name.empty() || name[0] == '.' || name.size() < 5) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".pdb" || ext == ".prc";
}

}  // namespace

std::vector<std::string> listDatabaseFiles(const fs::path& cardDir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(cardDir, ec)) {
    const std::string name = entry.path().filename().string();
    if (isDatabaseFile(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  std::vector<std::string> ordered;
  std::ifstream order(cardDir / "order");
  std::string line;
  while (order && std::getline(order, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    const auto it = std::find(names.begin(), names.end(), line);
    if (it == names.end()) continue;  // named but absent (or named twice)
    ordered.push_back(*it);
    names.erase(it);
  }
  ordered.insert(ordered.end(), names.begin(), names.end());
  return ordered;
}

std::string databaseFileName(const std::string& dbName, bool resourceDb, const std::set<std::string>& taken) {
  std::string stem;
  for (char c : tarvo::Cp1252ToUtf8(dbName)) {
    const auto u = static_cast<unsigned char>(c);
    stem.push_back(c == '/' || u < 0x20 || u == 0x7F ? '_' : c);
  }
  if (stem.empty()) stem = "_";
  if (stem[0] == '.') stem[0] = '_';  // never hidden, never "." or ".."
  const std::string ext = resourceDb ? ".prc" : ".pdb";
  std::string name = stem + ext;
  for (int n = 2; taken.contains(name); ++n) name = stem + "~" + std::to_string(n) + ext;
  return name;
}

bool isWriterTemporary(const std::string& name) {
  return name.size() > 1 && name[0] == '.' && name.find(".tmp-") != std::string::npos;
}

void removeStaleTemporaries(const fs::path& cardDir) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(cardDir, ec)) {
    if (isWriterTemporary(entry.path().filename().string())) fs::remove(entry.path(), ec);
  }
}

std::string checkDatabaseFile(const fs::path& file) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0) return std::string("cannot be read: ") + std::strerror(errno);
  if (S_ISLNK(st.st_mode)) return "a symbolic link";
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::string("cannot be read: ") + std::strerror(errno);
  std::array<uint8_t, pdb::kHeaderSize> header{};
  const ssize_t n = ::read(fd, header.data(), header.size());
  const int err = errno;
  ::close(fd);
  if (n < 0) return std::string("cannot be read: ") + std::strerror(err);
  if (static_cast<std::size_t>(n) < header.size()) return {};  // the parser says what is wrong
  // A file larger than its entry list allows is no database.
  if (const pdb::HeaderBounds bounds = pdb::headerBounds(header);
      static_cast<uint64_t>(st.st_size) > bounds.mostBytes) {
    return std::to_string(st.st_size) + " bytes, more than a database of " + std::to_string(bounds.entries) +
           " entries can hold";
  }
  return {};
}

namespace {

constexpr const char* kReplaceRecord = ".replacing";

bool plainFileName(const std::string& name) {
  return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

}  // namespace

void beginReplace(const fs::path& cardDir, const std::string& oldFile, const std::string& newFile) {
  const std::string text = oldFile + "\n" + newFile + "\n";
  pdb::writeFileAtomic(cardDir / kReplaceRecord, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void endReplace(const fs::path& cardDir) {
  std::error_code ec;
  fs::remove(cardDir / kReplaceRecord, ec);
}

void finishInterruptedReplace(const fs::path& cardDir) {
  const fs::path record = cardDir / kReplaceRecord;
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(record, ec))) {
    if (fs::exists(fs::symlink_status(record, ec))) fs::remove(record, ec);
    return;
  }
  std::ifstream in(record, std::ios::binary);
  std::string oldFile, newFile;
  std::getline(in, oldFile);
  std::getline(in, newFile);
  in.close();
  // The new file is written whole (by rename) or not at all: when it is
  // there, the old one was meant to go.
  if (plainFileName(oldFile) && plainFileName(newFile) && oldFile != newFile &&
      fs::is_regular_file(fs::symlink_status(cardDir / newFile, ec))) {
    fs::remove(cardDir / oldFile, ec);
    fs::remove(journalPathFor(cardDir / oldFile), ec);
  }
  fs::remove(record, ec);
}

}  // namespace hotsync::detail
