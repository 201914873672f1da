// Identifiers of the string table. Texts live in string_table.cpp.
#pragma once

namespace tarvo::res {

// Platform: window class of the HotSync host's main window.
inline constexpr unsigned kHotSyncWindowClass = 208;  // "KittyHawk"

// Progress dialog.
inline constexpr unsigned kTransferring = 221;         // "Transferindo %s"
inline constexpr unsigned kTransferringConduit = 222;  // "Transferindo novo conduit"
inline constexpr unsigned kAuthenticating = 223;       // "Autenticando usuário"
inline constexpr unsigned kCheckingModules = 225;      // "Verificando módulos, aguarde..."
inline constexpr unsigned kLookingForUpdates = 226;    // "Procurando atualizações, aguarde..."

// Time limit in words (connection page).
inline constexpr unsigned kOneMinute = 227;          // "1 minuto"
inline constexpr unsigned kMinutes = 228;            // "%d minutos"
inline constexpr unsigned kSeconds = 229;            // "%d segundos"
inline constexpr unsigned kMinutesAndSeconds = 230;  // "%s e %d segundos"

// Wizard and configuration sheet.
inline constexpr unsigned kButtonNew = 231;           // "&Novo"
inline constexpr unsigned kButtonFinish = 232;        // "&Terminar"
inline constexpr unsigned kHotSyncUserCaption = 234;  // "Usuário do Hotsync: %s"
inline constexpr unsigned kButtonCancel = 235;        // "&Cancelar"
inline constexpr unsigned kButtonBack = 236;          // "< &Retornar"
inline constexpr unsigned kButtonNext = 237;          // "&Próximo >"
inline constexpr unsigned kChooseUser = 238;          // "Escolha um usuário"
inline constexpr unsigned kButtonApply = 239;         // "&Aplicar"

// Sync.
inline constexpr unsigned kOffline = 280;      // "Tarvo - Conexão internet inativa."
inline constexpr unsigned kSyncTitle = 281;    // "Sincronizando Tarvo"
inline constexpr unsigned kLanguage = 282;     // "PT"
inline constexpr unsigned kSubLanguage = 283;  // " " (a single blank: none)
inline constexpr unsigned kWebsiteBase = 284;  // build option, ends in "/%s"

// Desktop log lines of a server that could not be done (%s: its caption or
// host; %u: the number that says why) and of a cancelled HotSync.
inline constexpr unsigned kServerUnreachable = 290;       // "Tarvo - %s: servidor inacessível (erro %u)."
inline constexpr unsigned kServerTimedOut = 291;          // "Tarvo - %s: o servidor não respondeu a tempo."
inline constexpr unsigned kServerHttpError = 292;         // "Tarvo - %s: o servidor respondeu com o erro HTTP %u."
inline constexpr unsigned kServerEmptyAnswer = 293;       // "Tarvo - %s: o servidor enviou uma resposta vazia."
inline constexpr unsigned kServerUnreadableAnswer = 294;  // "Tarvo - %s: o servidor enviou uma resposta ilegível."
inline constexpr unsigned kLoginDeclined = 295;           // "Tarvo - %s: login não informado."
inline constexpr unsigned kLoginTimedOut = 296;           // "Tarvo - %s: login não informado a tempo."
inline constexpr unsigned kSyncCancelled = 297;           // "Tarvo - HotSync cancelado."

// Application title; also the settings' application name.
inline constexpr unsigned kAppTitle = 57344;  // "Tarvo Sync"

}  // namespace tarvo::res
