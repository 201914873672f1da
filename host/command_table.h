// The host's commands in one table: the dispatch, the top-level --help and
// the shell completion (`help --words`) all read it, so a command or an
// option added once shows up in all three.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "cli/arguments.h"

namespace tarvo::host {

struct Command {
  const char* name;
  const char* synopsis;  // what follows the name in the usage ("--user NAME [--create] FILE...")
  const char* summary;   // what it does, in a line
  const char* actions;   // words that may follow the name ("list dump"), for completion
  std::span<const cli::Option> (*options)();
  int (*run)(int argc, char** argv);
};

std::span<const Command> commandTable();

// The command called `name`, or nullptr.
const Command* findCommand(std::string_view name);

// The top-level usage, made from the table.
std::string usageText();

// For shell completion, one word a line: without a command, the command
// words; with one, its action words, then its options as their usage spells
// them ("--user NAME", "--listen[=ADDR[:PORT]]", "--no-gui", "-r").
void printWords(std::FILE* out, const Command* command);

}  // namespace tarvo::host
