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

const std::vector<KnownKey> kComunicacaoKeys = {
    {kTimeout, true, "60"},         {kUsarProxy, true, "0"},    {kProxyHost, false, ""},  {kProxyPort, true, "0"},
    {kUsarAutenticacao, true, "0"}, {kProxyUsuario, false, ""}, {kProxySenha, false, ""}, {kSyncServer, false, ""},
};
const std::vector<KnownKey> kUserKeys = {
    {kProximo, true, "1"}, {kPadrao, true, "1"}, {kLogin, false, ""}, {kSenha, false, ""}};
const std::vector<KnownKey> kUserServerKeys = {{kLogin, false, ""}, {kSenha, false, ""}, {kNome, false, ""}};

}  // namespace

std::vector<KnownKey> KeysOfSection(std::string_view section) {
  while (!section.empty() && section.back() == '\\') section.remove_suffix(1);  // as the store does
  if (SameName(section, kComunicacao)) return kComunicacaoKeys;
  if (section.empty()) return {{kSyncName, false, DefaultSyncServerUrl()}};
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
