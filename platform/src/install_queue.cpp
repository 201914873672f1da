// Installing a user's queued files into the connected handheld.
#include <algorithm>
#include <stdexcept>
#include <system_error>

#include "desktop_log.h"
#include "folder/card_folder.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "pdb/pdb.h"
#include "session.h"
#include "text/cp1252.h"

namespace hotsync {
namespace fs = std::filesystem;

namespace {

// The queued files (not the hidden temporaries), in install order.
std::vector<fs::path> queueEntries(const std::string& user) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(userInstallDir(user), ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] != '.') files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string databaseName(const fs::path& file) {
  try {
    if (!detail::checkDatabaseFile(file).empty()) return {};
    return tarvo::Cp1252ToUtf8(pdb::readLayout(file).header.name);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

std::vector<QueuedFile> queuedFiles(const std::string& user) {
  std::vector<QueuedFile> queued;
  for (const fs::path& file : queueEntries(user)) {
    std::error_code ec;
    const uintmax_t bytes = fs::file_size(file, ec);
    queued.push_back({file.filename().string(), databaseName(file), ec ? 0 : bytes});
  }
  return queued;
}

std::vector<std::string> removeQueuedFiles(const std::string& user, const std::string& name) {
  std::vector<std::string> removed;
  for (const QueuedFile& queued : queuedFiles(user)) {
    if (queued.file != name && (queued.database.empty() || queued.database != name)) continue;
    std::error_code ec;
    if (fs::remove(userInstallDir(user) / queued.file, ec)) removed.push_back(queued.file);
  }
  return removed;
}

int installQueuedFiles(std::vector<std::string>* messages, std::vector<InstallOutcome>* outcomes) {
  auto say = [&](const std::string& text) {
    if (messages) messages->push_back(text);
  };
  auto sayOf = [&](const std::string& file, bool installed, const std::string& text) {
    say(text);
    if (outcomes) outcomes->push_back({file, installed, text});
  };
  try {
    auto& s = detail::session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) {
      say("no handheld connected");
      return 0;
    }
    const std::string user = s.currentUser;
    if (user.empty()) return 0;
    std::vector<fs::path> queued;
    std::error_code ec;
    int leftovers = 0;
    uintmax_t leftoverBytes = 0;
    for (const auto& entry : fs::directory_iterator(userInstallDir(user), ec)) {
      const std::string name = entry.path().filename().string();
      // A copy still being written is hidden and never a queued file; one
      // that no writer holds any more was left by a killed one and goes.
      if (detail::isWriterTemporary(name)) {
        if (!pdb::isAbandonedTemporary(entry.path())) continue;
        std::error_code sizeError;
        const uintmax_t size = fs::file_size(entry.path(), sizeError);
        if (fs::remove(entry.path(), ec)) {
          ++leftovers;
          leftoverBytes += sizeError ? 0 : size;
        }
      } else if (name[0] != '.') {
        queued.push_back(entry.path());
      }
    }
    if (leftovers > 0) {
      say("Install: removed " + std::to_string(leftovers) + " unfinished cop" + (leftovers == 1 ? "y" : "ies") +
          " of queued files (" + std::to_string(leftoverBytes) + " bytes) left by an interrupted queueing");
    }
    std::sort(queued.begin(), queued.end());

    int installed = 0;
    for (const fs::path& file : queued) {
      const std::string shown = file.filename().string();
      try {
        if (const std::string why = detail::checkDatabaseFile(file); !why.empty()) throw std::runtime_error(why);
        pdb::readLayout(file);  // the header and entry list say whether it is a database
      } catch (const std::exception& e) {
        // Refused for good: it would fail the same way at every HotSync.
        const std::string line = "Install: " + shown + " refused: not a Palm database (" + e.what() + ")";
        detail::appendDesktopLog(user, slText, line);
        sayOf(shown, false, line);
        fs::remove(file, ec);
        continue;
      }
      std::string error;
      if (!s.handheld->install(file, &error)) {
        // Kept in the queue: the next HotSync tries again.
        const std::string line = "Install: " + shown + " not installed: " + error;
        detail::appendDesktopLog(user, slText, line);
        sayOf(shown, false, line);
        continue;
      }
      fs::remove(file, ec);
      sayOf(shown, true, "Install: " + shown + " installed on card 0");
      ++installed;
    }
    return installed;
  } catch (const std::exception& e) {
    say(std::string("Install: ") + e.what());
    return 0;
  }
}

}  // namespace hotsync
