#include "host/handheld_make.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "host/commands.h"
#include "host/handheld_reader.h"
#include "hotsync/backup.h"
#include "hotsync/host.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace fs = std::filesystem;

namespace {

// The user a backup folder belongs to: ours lives in users/<name>/backup.
std::string ownerOf(const fs::path& from) {
  const fs::path folder = fs::absolute(from).lexically_normal();
  const fs::path dir = folder.has_filename() ? folder : folder.parent_path();
  if (dir.filename() == "backup" && dir.parent_path().parent_path().filename() == "users") {
    return dir.parent_path().filename().string();
  }
  return dir.filename().string();
}

constexpr const char* kMadeBy = "made by tarvo-hotsync handheld make from a backup";

}  // namespace

int makeHandheldFromBackup(const fs::path& dir, const fs::path& from, std::string user) {
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return fail("no backup folder " + from.string());
  if (fs::exists(dir, ec) && !fs::is_empty(dir, ec)) return fail(dir.string() + " exists and is not empty");
  std::vector<std::string> skipped;
  const std::vector<hotsync::BackupFile> files = hotsync::readBackupFolder(from, &skipped);
  for (const std::string& line : skipped) fail(line, 0);
  if (files.empty()) return fail("no Palm database in " + from.string());
  if (user.empty()) user = ownerOf(from);

  fs::create_directories(dir / "card0", ec);
  if (ec) return fail(dir.string() + ": " + ec.message());
  std::string error;
  // Without its user while the files go in: putting files on a handheld does
  // not make a HotSync user. The databases go through the install path, which
  // checks each and names its file.
  if (!hotsync::writeHandheldConfig(dir, "", kMadeBy, &error)) return fail(error);
  int installed = 0;
  {
    ConnectedHandheld handheld;
    if (!handheld.connect(dir, &error)) return fail(error);
    for (const hotsync::BackupFile& file : files) {
      if (!hotsync::installDatabase(file.path, &error)) {
        fail(file.path.filename().string() + " not put on the handheld: " + error, 0);
        continue;
      }
      ++installed;
    }
  }
  if (!hotsync::writeHandheldConfig(dir, user, kMadeBy, &error)) return fail(error);
  std::printf("made %s: %d database%s of %s, user \"%s\"\n", dir.c_str(), installed, installed == 1 ? "" : "s",
              from.c_str(), user.c_str());
  return installed == static_cast<int>(files.size()) ? kExitOk : kExitServersFailed;
}

}  // namespace tarvo::host
