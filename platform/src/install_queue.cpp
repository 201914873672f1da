// Installing a user's queued files into the connected handheld.
#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <system_error>

#include "desktop_log.h"
#include "folder/card_folder.h"
#include "hotsync/host.h"
#include "hotsync/hslog.h"
#include "session.h"

namespace hotsync {
namespace fs = std::filesystem;

int installQueuedFiles(std::vector<std::string>* messages) {
  auto say = [&](const std::string& text) {
    if (messages) messages->push_back(text);
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
    for (const auto& entry : fs::directory_iterator(userInstallDir(user), ec)) {
      const std::string name = entry.path().filename().string();
      // A copy still being written is hidden and never a queued file; one
      // untouched for long was left by a killed writer and goes.
      if (detail::isWriterTemporary(name)) {
        const auto written = fs::last_write_time(entry.path(), ec);
        if (!ec && fs::file_time_type::clock::now() - written > std::chrono::minutes(10)) fs::remove(entry.path(), ec);
      } else if (name[0] != '.') {
        queued.push_back(entry.path());
      }
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
        say(line);
        fs::remove(file, ec);
        continue;
      }
      std::string error;
      if (!s.handheld->install(file, &error)) {
        // Kept in the queue: the next HotSync tries again.
        const std::string line = "Install: " + shown + " not installed: " + error;
        detail::appendDesktopLog(user, slText, line);
        say(line);
        continue;
      }
      fs::remove(file, ec);
      say("Install: " + shown + " installed on card 0");
      ++installed;
    }
    return installed;
  } catch (const std::exception& e) {
    say(std::string("Install: ") + e.what());
    return 0;
  }
}

}  // namespace hotsync
