// A small command-line parser: long options ("--name", "--name value",
// "--name=value"), positional arguments, "--" to end the options.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarvo::host {

struct OptionDef {
  std::string name;  // without the leading "--"
  bool takesValue = false;
};

struct Args {
  std::set<std::string> flags;
  std::map<std::string, std::string> values;
  std::vector<std::string> positional;

  bool has(const std::string& flag) const { return flags.count(flag) != 0; }
  // The option's value, or `fallback` when it was not given.
  std::string value(const std::string& name, const std::string& fallback = {}) const;
  bool hasValue(const std::string& name) const { return values.count(name) != 0; }
};

// Parses argv[first..argc). "--help" is always known. False with a
// one-line *error on an unknown option or a missing value.
bool parseArgs(int argc, char** argv, int first, const std::vector<OptionDef>& known, Args* out, std::string* error);

}  // namespace tarvo::host
