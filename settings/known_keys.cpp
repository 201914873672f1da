#include "settings/known_keys.h"

#include <algorithm>
#include <cctype>

#include "resources/rcstring.h"
#include "settings/settings_keys.h"

namespace tarvo::settings {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Seconds: a transfer that stalls longer than an hour has failed.
constexpr int32_t kMaxTimeout = 3600;

const std::vector<KnownKey> kComunicacaoKeys = {
    {kTimeout, true, "60", 1, kMaxTimeout}, {kUsarProxy, true, "0", 0, 1},        {kProxyHost, false, "", 0, 0},
    {kProxyPort, true, "0", 0, 65535},      {kUsarAutenticacao, true, "0", 0, 1}, {kProxyUsuario, false, "", 0, 0},
    {kProxySenha, false, "", 0, 0},         {kSyncServer, false, "", 0, 0},
};
const std::vector<KnownKey> kUserKeys = {
    {kProximo, true, "1", 0, 1}, {kPadrao, true, "1", 0, 1}, {kLogin, false, "", 0, 0}, {kSenha, false, "", 0, 0}};
const std::vector<KnownKey> kUserServerKeys = {
    {kLogin, false, "", 0, 0}, {kSenha, false, "", 0, 0}, {kNome, false, "", 0, 0}};

}  // namespace

std::vector<KnownKey> KeysOfSection(std::string_view section) {
  while (!section.empty() && section.back() == '\\') section.remove_suffix(1);  // as the store does
  if (SameName(section, kComunicacao)) return kComunicacaoKeys;
  if (section.empty()) return {{kSyncName, false, DefaultSyncServerUrl(), 0, 0}};
  if (section.find('\\') != std::string_view::npos) return kUserServerKeys;
  return kUserKeys;
}

std::optional<KnownKey> FindKnownKey(std::string_view section, std::string_view key) {
  for (const KnownKey& known : KeysOfSection(section)) {
    if (SameName(known.key, key)) return known;
  }
  return std::nullopt;
}

}  // namespace tarvo::settings
