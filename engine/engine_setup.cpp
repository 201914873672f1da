// Set-up of one HotSync: the handheld's identity, the user's choice for this
// HotSync, the progress dialog and the HTTP client's configuration.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "engine/engine_temp_path.h"
#include "engine/engine_text.h"
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "handheld/platform_services.h"
#include "http/url_encoding.h"
#include "resources/trace.h"
#include "settings/password_scramble.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui/progress/conduit_progress.h"

namespace {

constexpr const char* kConduitProtocol = "1.00f";
constexpr const char* kUserAgent = "Tarvo Sync 1.0";

std::string Format(const char* fmt, ...) TARVO_PRINTF_LIKE(1, 2);
std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, fmt, args);
  va_end(args);
  std::string out;
  if (size > 0) {
    out.resize(static_cast<size_t>(size) + 1);
    std::vsnprintf(out.data(), out.size(), fmt, again);
    out.resize(static_cast<size_t>(size));
  }
  va_end(again);
  return out;
}

}  // namespace

bool CTarvoConduit::Initialize() {
  TarvoTrace("CTarvoConduit::Initialize()");
  CMobileDeviceSync* device = g_pMobileDeviceSync;
  if (!device) throw std::logic_error("no handheld access object");

  m_tempPath = tarvo::engine::PrivateTempFolder();

  const uint32_t psys = tarvo::handheld::CreatorIdFromText("psys");
  uint32_t processor = 0;
  device->ReadFeature(psys, 2, processor);
  uint16_t osMinor = 0;
  const uint16_t osMajor = device->GetHHOSVersion(osMinor);
  device->ReadUserInfo(m_userInfo);
  m_userInfo.m_pName[sizeof m_userInfo.m_pName - 1] = '\0';  // a full field still ends here

  const std::string userName = tarvo::engine::FieldText(m_userInfo.m_pName, sizeof m_userInfo.m_pName);
  const std::string trimmed = tarvo::engine::TrimRight(userName);
  const std::string encodedName =
      trimmed.empty() ? std::string() : FullURLEncode(trimmed.data(), static_cast<int32_t>(trimmed.size()));
  m_baseParams =
      Format("&conduit=%s&palmos=%d.%d&processor=%u&userid=%u&username=%s", kConduitProtocol, static_cast<int>(osMajor),
             static_cast<int>(osMinor), processor, m_userInfo.m_Id, encodedName.c_str());

  namespace keys = tarvo::settings;
  const tarvo::SettingsStore settings = tarvo::AppSettings();
  const int32_t useProxy = settings.ReadInt(keys::kComunicacao, keys::kUsarProxy, 0);
  const int32_t useProxyAuth = settings.ReadInt(keys::kComunicacao, keys::kUsarAutenticacao, 0);
  const int32_t timeoutSeconds = settings.ReadInt(keys::kComunicacao, keys::kTimeout, keys::kTimeoutDefault);

  // This HotSync follows "proximo"; the default action takes its place for
  // the next one, so a "do nothing" choice is used once.
  const int32_t thisTime = settings.ReadInt(userName, keys::kProximo, keys::kActionDefault);
  const int32_t byDefault = settings.ReadInt(userName, keys::kPadrao, keys::kActionDefault);
  settings.WriteInt(userName, keys::kProximo, byDefault);
  if (thisTime == 0) return false;

  m_dlgprg = std::make_unique<CConduitProgress>(nullptr);
  m_pHttp = &m_dlgprg->m_http;

  // Seconds to milliseconds without overflowing on an absurd setting.
  const int64_t timeoutMs = std::clamp<int64_t>(static_cast<int64_t>(timeoutSeconds) * 1000, INT32_MIN, INT32_MAX);
  m_pHttp->SetTimeout(static_cast<int32_t>(timeoutMs));
  m_pHttp->SetUserAgent(kUserAgent);

  if (useProxy != 0) {
    const std::string host = settings.ReadText(keys::kComunicacao, keys::kProxyHost, "");
    const int32_t port = settings.ReadInt(keys::kComunicacao, keys::kProxyPort, keys::kProxyPortEngineDefault);
    m_pHttp->SetProxy(port != 0 ? Format("%s:%d", host.c_str(), static_cast<int>(port)) : host);
    if (useProxyAuth != 0) {
      m_pHttp->SetProxyUser(settings.ReadText(keys::kComunicacao, keys::kProxyUsuario, ""));
      m_pHttp->SetProxyPassword(UsrDesencriptaSenha(settings.ReadText(keys::kComunicacao, keys::kProxySenha, "")));
    }
  }
  return true;
}
