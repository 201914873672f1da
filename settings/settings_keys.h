// Sections, keys and defaults of the settings store.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::settings {

// Global communication settings.
inline constexpr const char* kComunicacao = "Comunicacao";
inline constexpr const char* kTimeout = "timeout";  // int, seconds
inline constexpr int32_t kTimeoutDefault = 60;
inline constexpr const char* kUsarProxy = "usarproxy";                // int 0/1
inline constexpr const char* kProxyHost = "proxyhost";                // text
inline constexpr const char* kProxyPort = "proxyport";                // int
inline constexpr int32_t kProxyPortEngineDefault = 0;                 // host passed unchanged
inline constexpr int32_t kProxyPortPageDefault = 80;                  // shown by the connection page
inline constexpr const char* kUsarAutenticacao = "usarautenticacao";  // int 0/1
inline constexpr const char* kProxyUsuario = "proxyusuario";          // text, [domain\]user
inline constexpr const char* kProxySenha = "proxysenha";              // text, scrambled
inline constexpr const char* kSyncServer = "syncserver";              // text, URL
inline constexpr const char* kSyncName = "syncname";                  // text, read and unused

// Per HotSync user (the section is the user's name).
inline constexpr const char* kProximo = "proximo";  // int 0/1, next HotSync: 1 update, 0 nothing
inline constexpr const char* kPadrao = "padrao";    // int 0/1, the HotSyncs after it
inline constexpr int32_t kActionDefault = 1;
inline constexpr const char* kLogin = "login";  // text, scrambled
inline constexpr const char* kSenha = "senha";  // text, scrambled

// Per HotSync user and corporate server: login, senha and
inline constexpr const char* kNome = "nome";  // text, the server's caption

// The section of one corporate server's credentials: user, backslash, URL.
// (Writers add a trailing backslash; the store ignores trailing backslashes,
// so both forms name the same section.)
inline std::string UserServerSection(const std::string& user, const std::string& serverUrl) {
  return user + "\\" + serverUrl;
}

}  // namespace tarvo::settings
