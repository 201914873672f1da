#include "host/command_table.h"

#include "host/cmd_settings.h"
#include "host/commands.h"

namespace tarvo::host {
namespace {

int runSettings(int argc, char** argv) { return settingsCommand(argc, argv); }

std::span<const cli::Option> noOptions() { return {}; }

constexpr Command kCommands[] = {
    {"sync",
     "--handheld DIR | --port PORT [--rate N] [--wait SECONDS] [--conduit FILE] [--no-backup] [--no-gui] "
     "[--offline|--online]",
     "run one HotSync of a simulated handheld, or of a live one on a port", "", syncOptions, commandSync},
    {"handheld",
     "list|dump --handheld DIR | --port PORT [--rate N] [--wait SECONDS] [NAME] | make DIR --from BACKUP [--user NAME]",
     "the databases on a handheld, one database in full; a handheld made from a backup", "list dump make",
     handheldOptions, commandHandheld},
    {"restore", "--user NAME --handheld DIR | --port PORT [--rate N] [--wait SECONDS] [--yes]",
     "write a user's backup onto a handheld", "", restoreOptions, commandRestore},
    {"pdb", "dump FILE", "a loose .pdb/.prc file in full", "dump", noOptions, commandPdb},
    {"users", "[--add NAME | --delete NAME [--with-backups] [--yes]]", "the HotSync users; add or delete one", "",
     usersOptions, commandUsers},
    {"log", "[--user NAME] [--handheld DIR] [--json]", "the desktop HotSync log(s) and a handheld's log", "",
     logOptions, commandLog},
    {"install", "--user NAME [--create] FILE... | --list [--user NAME] | --remove NAME --user NAME",
     "queue databases for a user's next HotSync, list or remove queued ones", "", installOptions, commandInstall},
    {"login", "[--user NAME] [--server URL]", "ask for and store a server's login and password", "", loginOptions,
     commandLogin},
    {"configure", "[--user NAME] [--conduit FILE] [--no-gui]",
     "the conduit's configuration (login, schedule, connection) for a user", "", configureOptions, commandConfigure},
    {"wizard", "[--installall] [--conduit FILE] [--no-gui]",
     "the conduit's first-run wizard; --installall queues its handheld application", "", wizardOptions, commandWizard},
    {"register", "FILE", "register a conduit library (calls its DllRegisterServer)", "", noOptions, commandRegister},
    {"unregister", "FILE", "remove a conduit's registration (calls its DllUnregisterServer)", "", noOptions,
     commandRegister},
    {"conduits", "[--disable CREATOR | --enable CREATOR]",
     "the conduit registrations, the order a HotSync runs them in; turn one off or on", "", conduitsOptions,
     commandConduits},
    {"manager",
     "[-r] [--register FILE] [--port PORT]... [--listen[=ADDR[:PORT]]] [--no-listen] | --quit | --status | --events "
     "| --reload",
     "the resident HotSync manager that runs handed HotSyncs and those of the handhelds that call", "", managerOptions,
     commandManager},
    {"settings", "list|get|set|unset ...", "the conduit's settings (see settings --help)", "list get set unset",
     settingsOptions, runSettings},
};

std::string optionWord(const cli::Option& option) {
  if (*option.name == '\0') return std::string("-") + option.letter;
  std::string word = std::string("--") + option.name;
  if (option.takes == cli::Value) word += std::string(" ") + option.valueName;
  if (option.takes == cli::OptionalValue) word += std::string("[=") + option.valueName + "]";
  return word;
}

}  // namespace

std::span<const Command> commandTable() { return kCommands; }

const Command* findCommand(std::string_view name) {
  for (const Command& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

std::string usageText() {
  std::string text =
      "usage: tarvo-hotsync COMMAND [OPTIONS]\n"
      "\n"
      "commands:\n";
  for (const Command& command : kCommands) {
    std::string line = std::string("  ") + command.name;
    if (*command.synopsis) line += std::string(" ") + command.synopsis;
    // The summary beside a short usage, else on a line of its own.
    constexpr size_t kColumn = 25;
    if (line.size() < kColumn)
      line.resize(kColumn, ' ');
    else
      line += "\n" + std::string(kColumn, ' ');
    text += line + command.summary + "\n";
  }
  text +=
      "  help [COMMAND]          this text, or COMMAND --help\n"
      "\n"
      "Each command takes --help. Files live under $XDG_DATA_HOME/tarvo-hotsync.\n"
      "--version prints the version.\n"
      "Exit status: 0 success, 1 bad input, 2 bad usage of settings, 7 no conduit,\n"
      "10 configure or wizard had no display and no terminal to show on;\n"
      "sync has its own for its outcomes (see sync --help).\n";
  return text;
}

void printWords(std::FILE* out, const Command* command) {
  if (command == nullptr) {
    for (const Command& each : kCommands) std::fprintf(out, "%s\n", each.name);
    std::fprintf(out, "help\n");
    return;
  }
  const std::string actions = command->actions;
  for (size_t start = 0; start < actions.size();) {
    const size_t end = std::min(actions.find(' ', start), actions.size());
    std::fprintf(out, "%s\n", actions.substr(start, end - start).c_str());
    start = end + 1;
  }
  for (const cli::Option& option : command->options()) std::fprintf(out, "%s\n", optionWord(option).c_str());
  std::fprintf(out, "--help\n");
}

}  // namespace tarvo::host
