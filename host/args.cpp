#include "host/args.h"

namespace tarvo::host {

std::string Args::value(const std::string& name, const std::string& fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : it->second;
}

bool parseArgs(int argc, char** argv, int first, const std::vector<OptionDef>& known, Args* out, std::string* error) {
  bool optionsEnded = false;
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
      if (arg == "--" && !optionsEnded) {
        optionsEnded = true;
        continue;
      }
      if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
        *error = "unknown option " + arg;
        return false;
      }
      out->positional.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    std::string inlineValue;
    bool hasInline = false;
    if (const auto eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name.resize(eq);
      hasInline = true;
    }
    if (name == "help" && !hasInline) {
      out->flags.insert(name);
      continue;
    }
    const OptionDef* found = nullptr;
    for (const auto& option : known) {
      if (option.name == name) found = &option;
    }
    if (found == nullptr) {
      *error = "unknown option --" + name;
      return false;
    }
    if (!found->takesValue) {
      if (hasInline) {
        *error = "option --" + name + " takes no value";
        return false;
      }
      out->flags.insert(name);
      continue;
    }
    if (!hasInline) {
      if (i + 1 >= argc) {
        *error = "option --" + name + " needs a value";
        return false;
      }
      inlineValue = argv[++i];
    }
    out->values[name] = inlineValue;
  }
  return true;
}

}  // namespace tarvo::host
