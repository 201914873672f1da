#include "hotsync/hslog.h"

#include "desktop_log.h"
#include "session.h"
#include "text/cp1252.h"

HOTSYNC_API int32_t LogAddEntry(const char* text, int32_t activity, int32_t /*flag*/) {
  try {
    const std::string utf8 = tarvo::Cp1252ToUtf8(text == nullptr ? "" : text);
    std::string user;
    {
      auto& s = hotsync::detail::session();
      std::lock_guard lock(s.mutex);
      user = s.currentUser;
      s.logEntries.push_back({activity, utf8});
    }
    return hotsync::detail::appendDesktopLog(user, activity, utf8) ? 0 : -1;
  } catch (...) {
    return -1;
  }
}
