#include "engine/tarvo_module.h"

#include "resources/rcstring.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

std::string CTarvoModule::GetTag(const std::string& tag) const {
  const std::size_t at = sParam.find(tag);
  if (at == std::string::npos) return {};
  const std::size_t start = at + tag.size();
  const std::size_t end = sParam.find(';', start);
  if (end == std::string::npos) return {};
  return sParam.substr(start, end - start);
}

std::string CTarvoModule::GetSyncServer() const {
  std::string url = GetTag("__tarvo_sync_server:");
  if (url.empty()) {
    url = tarvo::AppSettings().ReadText(tarvo::settings::kComunicacao, tarvo::settings::kSyncServer, "");
  }
  if (url.empty()) url = DefaultSyncServerUrl();
  return url;
}

std::string CTarvoModule::GetSyncCaption() const { return GetTag("__tarvo_sync_caption:"); }

std::string CTarvoModule::GetRelated() const { return GetTag("__tarvo_sync_related:"); }

bool CTarvoModule::IsDontSave() const { return GetTag("__tarvo_sync_dontsave:") == "1"; }

void CTarvoServer::SetUrl(const std::string& url) { sUrl = url.empty() ? DefaultSyncServerUrl() : url; }

const std::string& DefaultSyncServerUrl() {
  static const std::string url = tarvo::DefaultSyncServerUrl();
  return url;
}
