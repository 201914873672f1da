// The command-line parser of every program: GNU long options ("--name",
// "--name VALUE", "--name=VALUE", "--name[=VALUE]" for an optional value),
// one-letter options ("-r"), positional arguments in any order, "--" to end
// the options. A program declares its options in a table, one line each:
//
//   constexpr cli::Option kOptions[] = {
//       {"handheld", cli::Value, "DIR"},
//       {"listen", cli::OptionalValue, "ADDR[:PORT]"},
//       {"no-gui"},
//       {"", cli::Flag, "", 'r'},  // "-r" only; Args knows it as "r"
//   };
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::cli {

enum Takes { Flag, Value, OptionalValue };

struct Option {
  const char* name;            // the long name, without "--"; "" for a letter only
  Takes takes = Flag;          // OptionalValue: only as "--name=VALUE"
  const char* valueName = "";  // in messages ("--user needs NAME")
  char letter = 0;             // a one-letter spelling, or 0
};

struct Args {
  std::set<std::string> flags;                               // options given without a value
  std::map<std::string, std::string> values;                 // the last value of each option given with one
  std::map<std::string, std::vector<std::string>> repeated;  // every value of each, in order
  std::vector<std::string> positional;

  // Given at all, with or without a value.
  bool has(const std::string& name) const { return flags.count(name) != 0 || values.count(name) != 0; }
  bool hasValue(const std::string& name) const { return values.count(name) != 0; }
  // The option's value, or `fallback` when it was not given one.
  std::string value(const std::string& name, const std::string& fallback = {}) const;
  // Every value the option was given, in order (an option that may repeat).
  std::vector<std::string> valuesOf(const std::string& name) const;
  // The option's value as a whole number in [min, max]; `fallback` when the
  // option was not given. False with a one-line *error when it is not one.
  bool number(const std::string& name, int64_t min, int64_t max, int64_t fallback, int64_t* out,
              std::string* error) const;
};

enum class Order {
  Anywhere,         // options and positional arguments mixed
  StopAtPositional  // the first positional argument ends the options (a command word)
};

// Parses argv[first..argc). "--help" and "-h" are always known (as the flag
// "help"). A word that looks like a negative number ("-3") is a positional
// argument. Abbreviated long names are refused: adding an option later must
// not change what an existing command line means. False with a one-line
// *error saying what was wrong.
bool parse(int argc, char* const* argv, int first, std::span<const Option> options, Args* out, std::string* error,
           Order order = Order::Anywhere);

// The same on words (without a program name).
bool parse(const std::vector<std::string>& words, std::span<const Option> options, Args* out, std::string* error,
           Order order = Order::Anywhere);

// "PROGRAM: WHAT (see --help)", the one line every program prints for bad
// usage. PROGRAM names the command as typed ("tarvo-hotsync sync").
std::string usageLine(std::string_view program, std::string_view what);

// Flushes standard output and prints usageLine on standard error.
void reportUsage(std::string_view program, std::string_view what);

// A whole decimal number in [min, max] (a leading '+' allowed).
bool parseNumber(std::string_view text, int64_t min, int64_t max, int64_t* out);

}  // namespace tarvo::cli
