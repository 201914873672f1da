// Where the host keeps its files, and the HotSync users (one folder each).
#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "hotsync/host.h"
#include "text/cp1252.h"
#include "xdg/base_dirs.h"

namespace hotsync {
namespace fs = std::filesystem;

fs::path dataDir() {
  const fs::path dir = tarvo::xdg::dataHome() / "tarvo-hotsync";
  std::error_code ec;
  if (fs::create_directories(dir, ec)) ::chmod(dir.c_str(), 0700);
  return dir;
}

fs::path userDir(const std::string& user) { return dataDir() / "users" / user; }
fs::path userInstallDir(const std::string& user) { return userDir(user) / "install"; }
fs::path userLogFile(const std::string& user) { return userDir(user) / "hotsync.log"; }

namespace {

// What a user deleted with its backups kept leaves behind: no user any more,
// but `restore --user` still finds the backups, and a handheld of that name
// takes them up again at its next HotSync.
bool onlyBackups(const fs::path& dir) {
  std::error_code ec;
  bool backups = false;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (entry.path().filename() != "backup") return false;
    backups = true;
  }
  return backups && !ec;
}

}  // namespace

std::vector<std::string> users() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dataDir() / "users", ec)) {
    if (entry.is_directory(ec) && !onlyBackups(entry.path())) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool removeUser(const std::string& user, bool keepBackups, std::string* error) {
  const std::vector<std::string> known = users();
  if (std::find(known.begin(), known.end(), user) == known.end()) {
    if (error) *error = "no HotSync user " + user;
    return false;
  }
  std::error_code ec;
  const fs::path backups = userDir(user) / "backup";
  if (keepBackups && fs::is_directory(backups, ec) && !fs::is_empty(backups, ec)) {
    std::vector<fs::path> rest;
    for (const auto& entry : fs::directory_iterator(userDir(user), ec)) {
      if (entry.path().filename() != "backup") rest.push_back(entry.path());
    }
    for (const fs::path& path : rest) {
      if (!ec) fs::remove_all(path, ec);
    }
  } else {
    fs::remove_all(userDir(user), ec);
  }
  if (ec) {
    if (error) *error = userDir(user).string() + ": " + ec.message();
    return false;
  }
  return true;
}

bool addUser(const std::string& user, std::string* error) {
  auto bad = [&](const std::string& why) {
    if (error) *error = "bad HotSync user name \"" + user + "\": " + why;
    return false;
  };
  if (user.empty() || user == "." || user == "..") return bad("empty or a folder name");
  if (user.find('/') != std::string::npos) return bad("holds '/'");
  if (std::any_of(user.begin(), user.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
    return bad("holds a control character");
  }
  // It must fit the handheld's user record (127 bytes and a zero).
  if (tarvo::Utf8ToCp1252(user).size() > 127) return bad("longer than 127 characters");
  std::error_code ec;
  fs::create_directories(userInstallDir(user), ec);
  if (ec) {
    if (error) *error = userDir(user).string() + ": " + ec.message();
    return false;
  }
  ::chmod(userDir(user).c_str(), 0700);
  return true;
}

}  // namespace hotsync
