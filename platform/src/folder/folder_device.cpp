#include "folder/folder_device.h"

#include <algorithm>
#include <cstring>

#include "sys_date_time.h"
#include "text/cp1252.h"

namespace hotsync::detail {

int32_t FolderDevice::readUserInfo(UserInfo* info) {
  const auto& config = hh_->config();
  const std::string name = tarvo::Utf8ToCp1252(config.userName);
  std::memset(info->m_pName, 0, sizeof info->m_pName);
  std::memcpy(info->m_pName, name.data(), std::min(name.size(), sizeof info->m_pName - 1));
  info->m_NameLength = static_cast<int32_t>(std::strlen(info->m_pName));
  info->m_PasswordLength = 0;
  info->m_LastSyncDate = 0;
  info->m_LastSyncPC = config.lastSyncPc;
  info->m_Id = config.userId;
  info->m_ViewerId = 0;
  return SYNCERR_NONE;
}

uint16_t FolderDevice::osVersion(uint16_t* minor) {
  if (minor != nullptr) *minor = hh_->config().osMinor;
  return hh_->config().osMajor;
}

int32_t FolderDevice::readFeature(uint32_t creator, uint16_t number, uint32_t* value) {
  const auto& features = hh_->config().features;
  const auto it = features.find({creator, number});
  if (it == features.end()) return SYNCERR_NOT_FOUND;
  *value = it->second;
  return SYNCERR_NONE;
}

int32_t FolderDevice::readDateTime(SysDateTime* dateTime) {
  *dateTime = sysDateTime(dlp::dateFromPalm(hh_->palmNow()));
  return SYNCERR_NONE;
}

}  // namespace hotsync::detail
