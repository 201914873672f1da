// tarvo-hotsync login: asks for a server's login and password and stores
// them, scrambled, where the conduit's login command looks for them.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/arguments.h"
#include "host/commands.h"
#include "hotsync/host.h"
#include "resources/rcstring.h"
#include "settings/password_scramble.h"
#include "settings/server_address.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kLoginHelp =
    "Asks for the login and the password (not echoed) that HotSync user NAME\n"
    "uses on server URL and stores them, scrambled, in the conduit's settings.\n"
    "Without --server: the server of modules that name none (the syncserver\n"
    "setting, else the default sync server). Without --user: the only\n"
    "HotSync user. Without a terminal the two lines are read from standard\n"
    "input, so a script can pipe them in.\n";

// Terminal echo off while the password is typed.
class NoEcho {
 public:
  NoEcho() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &m_saved) != 0) return;
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    m_active = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~NoEcho() {
    if (!m_active) return;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    std::fputs("\n", stderr);  // the Enter that was not echoed
  }
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  termios m_saved{};
  bool m_active = false;
};

// One line in the conduit's code page; false at end of input or when the
// text holds a character Windows-1252 cannot carry.
bool askLine(const char* prompt, bool hidden, std::string* out, std::string* error) {
  if (isatty(STDIN_FILENO)) std::fprintf(stderr, "%s: ", prompt);
  std::string line;
  bool got = false;
  if (hidden) {
    const NoEcho noEcho;
    got = static_cast<bool>(std::getline(std::cin, line));
  } else {
    got = static_cast<bool>(std::getline(std::cin, line));
  }
  if (!got) {
    *error = std::string("no ") + prompt + " given";
    return false;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  *out = Utf8ToCp1252(line);
  if (Cp1252ToUtf8(*out) != line) {
    *error = std::string(prompt) + " holds a character the conduit cannot send (Windows-1252 only)";
    return false;
  }
  return true;
}

constexpr cli::Option kLoginOptions[] = {
    {"user", cli::Value, "NAME"},
    {"server", cli::Value, "URL"},
};

int runLogin(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;

  std::string user = args.value("user");
  if (user.empty()) {
    const std::vector<std::string> users = hotsync::users();
    if (users.size() != 1) return fail("login needs --user NAME (there is not exactly one HotSync user)");
    user = users.front();
  }
  if (args.hasValue("server")) {
    if (const std::string problem = settings::ServerAddressProblem(args.value("server")); !problem.empty())
      return fail("--server " + args.value("server") + ": " + problem);
  }
  const SettingsStore store = AppSettings();
  std::string server = args.value("server");
  if (server.empty()) server = store.Find(settings::kComunicacao, settings::kSyncServer).value_or(SettingsEntry{}).text;
  if (server.empty()) server = DefaultSyncServerUrl();
  // The conduit keeps the default server's login under the user, any other
  // server's under the user and its address.
  const std::string section = server == DefaultSyncServerUrl() ? user : settings::UserServerSection(user, server);

  std::string login;
  std::string password;
  if (!askLine("login", false, &login, &error) || !askLine("senha", true, &password, &error)) return fail(error);
  if (!store.WriteTextUtf8(section, settings::kLogin, UsrEncriptaSenha(login)) ||
      !store.WriteTextUtf8(section, settings::kSenha, UsrEncriptaSenha(password)))
    return fail("cannot write " + store.file().string());
  std::printf("login of %s for %s stored\n", user.c_str(), server.c_str());
  return kExitOk;
}

}  // namespace

const Command kLoginCommand = {
    "login",
    "[--user NAME] [--server URL]",
    "ask for and store a server's login and password",
    kLoginHelp,
    "",
    kLoginOptions,
    Words::None,
    runLogin,
};

}  // namespace tarvo::host
