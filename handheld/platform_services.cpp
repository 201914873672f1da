#include "handheld/platform_services.h"

#include <cstring>

#include "hotsync/condmgr.h"
#include "hotsync/hslog.h"
#include "hotsync/instaide.h"

namespace tarvo::handheld {

uint32_t CreatorIdFromText(const char* text) {
  uint32_t code = 0;
  return CmConvertStringToCreatorID(text, &code) == 0 ? code : 0;
}

std::string CreatorIdText(uint32_t code) {
  char text[5] = {};
  int32_t size = sizeof text;
  CmConvertCreatorIDToString(code, text, &size);
  return std::string(text, strnlen(text, 4));
}

void AddDesktopLogEntry(const char* text, LogActivity activity) {
  const int32_t kinds[] = {slText, slWarning, slSyncAborted};
  LogAddEntry(text, kinds[static_cast<int>(activity)], 0);
}

std::vector<std::string> HotSyncUsers() {
  std::vector<std::string> users;
  const int32_t count = PltGetUserCount();
  for (int32_t i = 0; i < count; ++i) {
    char name[100] = {};
    int16_t size = sizeof name;
    if (PltGetUser(static_cast<uint32_t>(i), name, &size) == 0) users.emplace_back(name);
  }
  return users;
}

int32_t QueueInstall(const std::string& user, const char* path) { return PltInstallFile(user.c_str(), path); }

}  // namespace tarvo::handheld
