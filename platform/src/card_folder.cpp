#include "card_folder.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "text_codec.h"

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
    if (isDatabaseFile(name) && entry.is_regular_file(ec)) names.push_back(name);
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
  for (char c : cp1252ToUtf8(dbName)) {
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

void removeStaleTemporaries(const fs::path& cardDir) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(cardDir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 1 && name[0] == '.' && name.find(".tmp-") != std::string::npos) fs::remove(entry.path(), ec);
  }
}

}  // namespace hotsync::detail
