#include "cli/arguments.h"

#include <getopt.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <memory>

namespace tarvo::cli {
namespace {

constexpr int kFirstLongCode = 256;  // getopt_long's code for options[i] is this + i
constexpr int kPositionalCode = 1;   // what getopt_long returns for a positional word in order

bool looksNegative(const char* word) { return word[0] == '-' && word[1] >= '0' && word[1] <= '9'; }

// What Args knows the option by: its long name, else its letter.
std::string key(const Option& option) { return *option.name ? option.name : std::string(1, option.letter); }

std::string spelled(const Option& option) { return *option.name ? std::string("--") + option.name : "-" + key(option); }

std::string needs(const std::string& spelling, const Option& option) {
  return spelling + " needs " + (option.valueName && *option.valueName ? option.valueName : "a value");
}

class Parser {
 public:
  Parser(std::span<const Option> options, Order order) : m_options(options) {
    m_shortOptions = order == Order::Anywhere ? "-:h" : "+:h";
    for (size_t i = 0; i < options.size(); ++i) {
      const Option& option = options[i];
      const int hasArg = option.takes == Flag    ? no_argument
                         : option.takes == Value ? required_argument
                                                 : optional_argument;
      if (*option.name) m_long.push_back({option.name, hasArg, nullptr, kFirstLongCode + static_cast<int>(i)});
      if (option.letter != 0) {
        m_shortOptions += option.letter;
        if (option.takes == Value) m_shortOptions += ':';
        if (option.takes == OptionalValue) m_shortOptions += "::";
      }
    }
    m_long.push_back({"help", no_argument, nullptr, 'h'});
    m_long.push_back({nullptr, 0, nullptr, 0});
  }

  bool run(std::vector<char*>& words, Args* out, std::string* error) {
    // A negative number would read as a cluster of one-letter options; it is
    // handed to getopt as a stand-in that is not an option and read back.
    std::map<const char*, const char*> negative;
    std::vector<std::unique_ptr<char[]>> standIns;
    for (size_t i = 1; i + 1 < words.size(); ++i) {
      if (!looksNegative(words[i])) continue;
      standIns.push_back(std::make_unique<char[]>(2));
      standIns.back()[0] = 'n';
      negative[standIns.back().get()] = words[i];
      words[i] = standIns.back().get();
    }
    auto original = [&](const char* word) {
      const auto it = negative.find(word);
      return it == negative.end() ? word : it->second;
    };

    const int count = static_cast<int>(words.size()) - 1;
    opterr = 0;
    optind = 0;  // a fresh scan: the host parses twice (the command word, then the command)
    for (;;) {
      const int at = optind == 0 ? 1 : optind;
      int index = -1;
      const int code = getopt_long(count, words.data(), m_shortOptions.c_str(), m_long.data(), &index);
      if (code == -1) break;
      const std::string word = at < count ? original(words[at]) : "";
      if (code == kPositionalCode) {
        out->positional.emplace_back(original(optarg));
      } else if (code == '?') {
        *error = unknownOrValued(word);
        return false;
      } else if (code == ':') {
        const Option* option = find(optopt);
        *error = option ? needs(word.starts_with("--") ? spelled(*option) : std::string("-") + option->letter, *option)
                        : word + " needs a value";
        return false;
      } else if (code == 'h') {
        if (word.starts_with("--") && word != "--help") return abbreviated(word, error);
        out->flags.insert("help");
      } else {
        const Option* option = find(code);
        if (option == nullptr) {  // a letter: getopt found it in the string
          *error = "unknown option: " + word;
          return false;
        }
        if (word.starts_with("--") && word.substr(0, word.find('=')) != spelled(*option))
          return abbreviated(word, error);
        if (optarg == nullptr) {
          out->flags.insert(key(*option));
          continue;
        }
        const std::string value = original(optarg);
        if (value.empty() && option->takes == Value) {
          *error = needs(word.starts_with("--") ? spelled(*option) : std::string("-") + option->letter, *option);
          return false;
        }
        out->values[key(*option)] = value;
        out->repeated[key(*option)].push_back(value);
      }
    }
    for (int i = optind; i < count; ++i) out->positional.emplace_back(original(words[i]));
    return true;
  }

 private:
  // The option getopt_long reported by its code (a letter or a long code).
  const Option* find(int code) const {
    if (code >= kFirstLongCode && code < kFirstLongCode + static_cast<int>(m_options.size()))
      return &m_options[code - kFirstLongCode];
    if (code == 'h') return nullptr;
    for (const Option& option : m_options) {
      if (option.letter != 0 && option.letter == code) return &option;
    }
    return nullptr;
  }

  std::string unknownOrValued(const std::string& word) const {
    if (optopt != 0 && word.starts_with("--")) {
      // A known long option given "=VALUE" it does not take.
      const std::string name = word.substr(0, word.find('='));
      if (optopt == 'h' && name == "--help") return "--help takes no value";
      if (const Option* option = find(optopt); option != nullptr && spelled(*option) == name)
        return name + " takes no value";
      return "unknown option: " + name;
    }
    if (optopt != 0) return std::string("unknown option: -") + static_cast<char>(optopt);
    return "unknown option: " + word.substr(0, word.find('='));
  }

  static bool abbreviated(const std::string& word, std::string* error) {
    *error = "unknown option: " + word.substr(0, word.find('='));
    return false;
  }

  std::span<const Option> m_options;
  std::string m_shortOptions;
  std::vector<option> m_long;
};

}  // namespace

std::vector<std::string> Args::valuesOf(const std::string& name) const {
  const auto it = repeated.find(name);
  return it == repeated.end() ? std::vector<std::string>{} : it->second;
}

std::string Args::value(const std::string& name, const std::string& fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : it->second;
}

bool Args::number(const std::string& name, int64_t min, int64_t max, int64_t fallback, int64_t* out,
                  std::string* error) const {
  const auto it = values.find(name);
  if (it == values.end()) {
    *out = fallback;
    return true;
  }
  if (parseNumber(it->second, min, max, out)) return true;
  *error = "--" + name + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", not " +
           it->second;
  return false;
}

bool parse(int argc, char* const* argv, int first, std::span<const Option> options, Args* out, std::string* error,
           Order order) {
  std::vector<char*> words{const_cast<char*>(argc > 0 ? argv[0] : "")};
  for (int i = first; i < argc; ++i) words.push_back(argv[i]);
  words.push_back(nullptr);
  return Parser(options, order).run(words, out, error);
}

bool parse(const std::vector<std::string>& words, std::span<const Option> options, Args* out, std::string* error,
           Order order) {
  std::vector<char*> pointers{const_cast<char*>("")};
  for (const std::string& word : words) pointers.push_back(const_cast<char*>(word.c_str()));
  pointers.push_back(nullptr);
  return Parser(options, order).run(pointers, out, error);
}

std::string usageLine(std::string_view program, std::string_view what) {
  std::string line(program);
  line += ": ";
  line += what;
  line += " (see --help)";
  return line;
}

void reportUsage(std::string_view program, std::string_view what) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", usageLine(program, what).c_str());
}

bool parseNumber(std::string_view text, int64_t min, int64_t max, int64_t* out) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  int64_t value = 0;
  const auto [stop, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc{} || stop != end || begin == end || value < min || value > max) return false;
  *out = value;
  return true;
}

}  // namespace tarvo::cli
