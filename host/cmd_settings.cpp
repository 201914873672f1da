#include "host/cmd_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iostream>
#include <ostream>

#include "cli/arguments.h"
#include "host/commands.h"
#include "hotsync/host.h"
#include "resources/text_codec.h"
#include "settings/known_keys.h"
#include "settings/server_address.h"
#include "settings/settings_keys.h"

namespace tarvo {

namespace {

constexpr const char* kSettingsHelp =
    "Shows or changes the settings of Tarvo Sync for this Linux user.\n"
    "SECTION is Comunicacao, a HotSync user's name, or USER\\URL (a server's\n"
    "login of that user). Texts are UTF-8; --int stores VALUE as a 32-bit\n"
    "integer. A key the conduit reads as an integer is stored as one without\n"
    "--int and must be in its range (timeout 1-3600; usarproxy,\n"
    "usarautenticacao, proximo, padrao 0 or 1; proxyport 0-65535); syncserver\n"
    "must be an http:// or https:// address; setting a key the conduit does not\n"
    "read warns. list and get show, marked (default), the value that applies to\n"
    "a key the conduit reads that is not set; unset goes back to it.\n";

void PrintEntry(std::ostream& out, const SettingsEntry& e) {
  out << e.section << '\t' << e.key << '\t' << (e.isInteger ? "integer" : "text") << '\t';
  if (e.isInteger)
    out << e.intValue;
  else
    out << e.text;
  out << '\n';
}

bool ParseInt32(const std::string& text, int32_t& value) {
  int64_t number = 0;
  if (!cli::parseNumber(text, INT32_MIN, INT32_MAX, &number)) return false;
  value = static_cast<int32_t>(number);
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view SectionName(std::string_view section) {
  while (!section.empty() && section.back() == '\\') section.remove_suffix(1);
  return section;
}

// A section the conduit reads: its communication settings, the global one,
// a HotSync user's, or a user's login on one server ("USER\URL", which may
// be stored before that user's first HotSync).
bool KnownSection(std::string_view section, const std::vector<std::string>& users) {
  section = SectionName(section);
  if (section.empty() || EqualNoCase(section, settings::kComunicacao)) return true;
  if (section.find('\\') != std::string_view::npos) return true;
  return std::any_of(users.begin(), users.end(), [&](const std::string& u) { return EqualNoCase(u, section); });
}

// The keys the conduit reads in `section` that are not set, with the value
// that applies to them.
void PrintDefaults(std::ostream& out, std::string_view section, const std::vector<SettingsEntry>& entries) {
  for (const settings::KnownKey& known : settings::KeysOfSection(section)) {
    const bool set = std::any_of(entries.begin(), entries.end(), [&](const SettingsEntry& e) {
      return EqualNoCase(SectionName(e.section), SectionName(section)) && EqualNoCase(e.key, known.key);
    });
    if (!set)
      out << SectionName(section) << '\t' << known.key << '\t' << (known.isInteger ? "integer" : "text") << '\t'
          << known.defaultValue << "\t(default)\n";
  }
}

constexpr cli::Option kSettingsOptions[] = {
    {"int"},
};

}  // namespace

int settingsCommand(const std::vector<std::string>& words, const SettingsStore& store,
                    const std::vector<std::string>& users, std::ostream& out, std::ostream& err) {
  cli::Args parsed;
  std::string error;
  if (!cli::parse(words, kSettingsOptions, &parsed, &error)) {
    err << cli::usageLine("tarvo-hotsync settings", error) << '\n';
    return 2;
  }
  const std::vector<std::string>& args = parsed.positional;
  if (parsed.has("help") || (!args.empty() && args[0] == "help")) {
    out << host::helpText(host::kSettingsCommand);
    return 0;
  }
  if (args.empty()) {
    err << "settings: missing action (list, get, set or unset); see --help\n";
    return 2;
  }
  const std::string& action = args[0];
  if (parsed.has("int") && action != "set") {
    err << "settings: --int goes with set\n";
    return 2;
  }

  // Names and texts come from a terminal: refuse what is not UTF-8 rather
  // than store something the conduit would read differently.
  for (const auto& arg : args) {
    if (!IsValidUtf8(arg)) {
      err << "settings: arguments must be UTF-8 text\n";
      return 2;
    }
  }

  if (action == "list") {
    if (args.size() > 2) {
      err << "settings: list takes at most one SECTION\n";
      return 2;
    }
    auto entries = args.size() == 2 ? store.List(args[1]) : store.List();
    if (!entries) {
      err << "settings: cannot read " << store.file().string() << '\n';
      return 1;
    }
    for (const auto& e : *entries) PrintEntry(out, e);
    // Then what applies where nothing is set: the communication keys, and
    // the keys of every section listed.
    std::vector<std::string> sections;
    if (args.size() == 2) {
      if (KnownSection(args[1], users)) sections.push_back(entries->empty() ? args[1] : entries->front().section);
    } else
      sections.push_back(settings::kComunicacao);
    for (const auto& e : *entries) {
      const bool seen = std::any_of(sections.begin(), sections.end(), [&](const std::string& known) {
        return EqualNoCase(SectionName(known), SectionName(e.section));
      });
      // A section nobody reads (a typing mistake) shows as it is, with no
      // defaults that would make it look like a user's.
      if (!seen && KnownSection(e.section, users)) sections.push_back(e.section);
    }
    for (const std::string& section : sections) PrintDefaults(out, section, *entries);
    return 0;
  }

  if (action == "get") {
    if (args.size() != 3) {
      err << "settings: get needs SECTION KEY\n";
      return 2;
    }
    auto entry = store.Find(args[1], args[2]);
    if (!entry) {
      // What applies instead, as list shows it.
      const std::optional<settings::KnownKey> known = settings::FindKnownKey(args[1], args[2]);
      if (known && KnownSection(args[1], users)) {
        out << known->defaultValue << "\t(default)\n";
        return 0;
      }
      err << "settings: " << args[1] << ' ' << args[2] << " is not set\n";
      return 1;
    }
    if (entry->isInteger)
      out << entry->intValue << '\n';
    else
      out << entry->text << '\n';
    return 0;
  }

  if (action == "set") {
    const size_t first = 1;
    bool asInt = parsed.has("int");
    if (args.size() - first != 3) {
      err << "settings: set needs [--int] SECTION KEY VALUE\n";
      return 2;
    }
    const std::string& section = args[first];
    const std::string& key = args[first + 1];
    const std::string& value = args[first + 2];
    if (key.empty()) {
      err << "settings: KEY must not be empty\n";
      return 2;
    }
    // A mistyped section would stay behind, unread, and look like a user.
    // A key a user's section holds may come before that user's first
    // HotSync (set up ahead of it), with a word that nobody has the name yet.
    if (!KnownSection(section, users)) {
      if (!settings::FindKnownKey(section, key)) {
        err << "settings: no section " << section
            << ": the sections are Comunicacao, a HotSync user's name (see tarvo-hotsync users) or USER\\URL\n";
        return 2;
      }
      err << "settings: warning: no HotSync user is called " << section
          << " yet; the setting waits for that user's first HotSync\n";
    }
    // Stored the way the conduit reads it: a known integer key as an
    // integer even without --int; a key nobody reads is stored, with a word.
    const std::optional<settings::KnownKey> known = settings::FindKnownKey(section, key);
    // A server's address is checked as it is typed; what is stored already
    // is read as the conduit reads it.
    if (known && known->key == std::string_view(settings::kSyncServer)) {
      if (const std::string problem = settings::ServerAddressProblem(value); !problem.empty()) {
        err << "settings: " << key << ": " << problem << '\n';
        return 2;
      }
    }
    if (!known) {
      err << "settings: warning: the conduit reads no key " << key << " in section " << section << '\n';
    } else if (known->isInteger) {
      asInt = true;
    } else if (asInt) {
      err << "settings: warning: the conduit reads " << key << " as text\n";
    }
    bool ok;
    if (asInt) {
      int32_t number = 0;
      if (!ParseInt32(value, number)) {
        err << "settings: " << key << " takes a 32-bit integer, not " << value << '\n';
        return 2;
      }
      if (known && known->isInteger && (number < known->min || number > known->max)) {
        err << "settings: " << key << " takes " << known->min << (known->max - known->min == 1 ? " or " : " to ")
            << known->max << ", not " << value << '\n';
        return 2;
      }
      ok = store.WriteIntUtf8(section, key, number);
    } else {
      ok = store.WriteTextUtf8(section, key, value);
    }
    if (!ok) {
      err << "settings: cannot write " << store.file().string() << '\n';
      return 1;
    }
    return 0;
  }

  if (action == "unset") {
    if (args.size() != 3) {
      err << "settings: unset needs SECTION KEY\n";
      return 2;
    }
    if (!store.RemoveUtf8(args[1], args[2])) {
      err << "settings: cannot write " << store.file().string() << '\n';
      return 1;
    }
    return 0;
  }

  err << "settings: unknown action '" << action << "'; see --help\n";
  return 2;
}

namespace {

int runSettings(const host::CommandLine& line) {
  try {
    return settingsCommand(line.words, AppSettings(), hotsync::users(), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "settings: " << e.what() << '\n';
    return 1;
  }
}

}  // namespace

const host::Command host::kSettingsCommand = {
    "settings",
    "list [SECTION]\n"
    "get SECTION KEY\n"
    "set [--int] SECTION KEY VALUE\n"
    "unset SECTION KEY",
    "the conduit's settings (see settings --help)",
    kSettingsHelp,
    "list get set unset",
    kSettingsOptions,
    host::Words::Own,
    runSettings,
};

}  // namespace tarvo
