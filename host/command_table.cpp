#include "host/command_table.h"

#include <algorithm>

#include "host/commands.h"

namespace tarvo::host {
namespace {

constexpr const Command* kCommands[] = {
    &kSyncCommand,     &kHandheldCommand,   &kRestoreCommand,  &kPdbCommand,       &kUsersCommand,
    &kLogCommand,      &kInstallCommand,    &kLoginCommand,    &kConfigureCommand, &kWizardCommand,
    &kRegisterCommand, &kUnregisterCommand, &kConduitsCommand, &kManagerCommand,   &kSettingsCommand,
};

// The forms of a synopsis, a line each, continuation lines joined to their form.
std::vector<std::string> forms(const Command& command) {
  std::vector<std::string> out;
  const std::string_view synopsis = command.synopsis;
  for (size_t start = 0; start < synopsis.size();) {
    const size_t end = std::min(synopsis.find('\n', start), synopsis.size());
    const std::string_view line = synopsis.substr(start, end - start);
    if (line.starts_with(' ') && !out.empty())
      out.back() += std::string(line);
    else
      out.emplace_back(line);
    start = end + 1;
  }
  return out;
}

std::string optionWord(const cli::Option& option) {
  if (*option.name == '\0') return std::string("-") + option.letter;
  std::string word = std::string("--") + option.name;
  if (option.takes == cli::Value) word += std::string(" ") + option.valueName;
  if (option.takes == cli::OptionalValue) word += std::string("[=") + option.valueName + "]";
  return word;
}

}  // namespace

std::span<const Command* const> commandTable() { return kCommands; }

const Command* findCommand(std::string_view name) {
  for (const Command* command : kCommands) {
    if (name == command->name) return command;
  }
  return nullptr;
}

int runCommand(const Command& command, const std::vector<std::string>& words) {
  CommandLine line{command, {}, words};
  if (command.words == Words::Own) return command.run(line);
  std::string error;
  if (!cli::parse(words, command.options, &line.args, &error)) return usageFail(command.name, error);
  if (line.args.has("help")) {
    std::fputs(helpText(command).c_str(), stdout);
    return kExitOk;
  }
  if (command.words == Words::None && !line.args.positional.empty())
    return usageFail(command.name, "unexpected argument " + line.args.positional[0]);
  return command.run(line);
}

std::string helpText(const Command& command) {
  std::string text;
  const std::string program = std::string("tarvo-hotsync ") + command.name;
  // The synopsis as written, its continuation lines under the first word.
  const std::string_view synopsis = command.synopsis;
  bool first = true;
  for (size_t start = 0; start < synopsis.size();) {
    const size_t end = std::min(synopsis.find('\n', start), synopsis.size());
    const std::string_view line = synopsis.substr(start, end - start);
    if (line.starts_with(' '))
      text += std::string(7 + program.size(), ' ') + std::string(line) + "\n";
    else
      text += std::string(first ? "usage: " : "       ") + program + " " + std::string(line) + "\n";
    first = false;
    start = end + 1;
  }
  return text + "\n" + command.help;
}

std::string usageText() {
  std::string text =
      "usage: tarvo-hotsync COMMAND [OPTIONS]\n"
      "\n"
      "commands:\n";
  for (const Command* command : kCommands) {
    std::string line;
    for (const std::string& form : forms(*command)) {
      if (!line.empty()) line += "\n";
      line += std::string("  ") + command->name + " " + form;
    }
    // The summary beside a short usage, else on a line of its own.
    constexpr size_t kColumn = 25;
    const size_t lastLine = line.rfind('\n') + 1;  // 0 for a single line
    if (line.size() - lastLine < kColumn)
      line.resize(lastLine + kColumn, ' ');
    else
      line += "\n" + std::string(kColumn, ' ');
    text += line + command->summary + "\n";
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
    for (const Command* each : kCommands) std::fprintf(out, "%s\n", each->name);
    std::fprintf(out, "help\n");
    return;
  }
  const std::string actions = command->actions;
  for (size_t start = 0; start < actions.size();) {
    const size_t end = std::min(actions.find(' ', start), actions.size());
    std::fprintf(out, "%s\n", actions.substr(start, end - start).c_str());
    start = end + 1;
  }
  for (const cli::Option& option : command->options) std::fprintf(out, "%s\n", optionWord(option).c_str());
  std::fprintf(out, "--help\n");
}

}  // namespace tarvo::host
