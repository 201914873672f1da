// The host's commands in one table: the dispatch, each command's --help, the
// top-level --help and the shell completion (`help --words`) all read it, so
// a command or an option added once shows up in all of them. Each command
// defines its own entry beside its code (commands.h); the table parses the
// command line, answers --help and refuses stray words before the command
// runs.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"

namespace tarvo::host {

struct Command;

// What a command is handed once its words are parsed.
struct CommandLine {
  const Command& command;
  cli::Args args;
  std::vector<std::string> words;  // as typed after the command word (a HotSync handed on reuses them)
};

// The words a command takes besides its options.
enum class Words {
  None,  // none: a stray word is bad usage
  Some,  // the command checks them
  Own,   // the command parses all its words itself (run gets no parsed args, no --help)
};

struct Command {
  const char* name;
  // The forms after "tarvo-hotsync NAME", one a line; a line starting with a
  // space carries on the form above it.
  const char* synopsis;
  const char* summary;  // what it does, in a line
  const char* help;     // what --help prints below the usage
  const char* actions;  // words that may follow the name ("list dump"), for completion
  std::span<const cli::Option> options;
  Words words;
  int (*run)(const CommandLine& line);
};

std::span<const Command* const> commandTable();

// The command called `name`, or nullptr.
const Command* findCommand(std::string_view name);

// Parses `words` (those after the command word) for `command`, answers
// --help or bad usage, else runs it; returns the exit status.
int runCommand(const Command& command, const std::vector<std::string>& words);

// "usage: tarvo-hotsync NAME FORM" for each form, then a blank line and the help.
std::string helpText(const Command& command);

// The top-level usage, made from the table.
std::string usageText();

// For shell completion, one word a line: without a command, the command
// words; with one, its action words, then its options as their usage spells
// them ("--user NAME", "--listen[=ADDR[:PORT]]", "--no-gui", "-r").
void printWords(std::FILE* out, const Command* command);

}  // namespace tarvo::host
