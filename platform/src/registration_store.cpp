#include "registration_store.h"

#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "hotsync/host.h"
#include "pdb/pdb.h"

namespace hotsync::detail {
namespace {

// Lines are "creator<TAB>key<TAB>value"; a backslash escapes tab, line
// break and itself, so any bytes survive.
std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char n = s[++i];
    out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
  }
  return out;
}

std::filesystem::path storeFile() { return dataDir() / "conduits.conf"; }

}  // namespace

std::optional<Registrations> loadRegistrations() {
  Registrations all;
  std::error_code ec;
  if (!std::filesystem::exists(storeFile(), ec)) return all;
  std::ifstream in(storeFile(), std::ios::binary);
  if (!in) return std::nullopt;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto t1 = line.find('\t');
    const auto t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 == std::string::npos) {
      all[unescape(line.substr(0, t1))];  // a registration with no values yet
      continue;
    }
    all[unescape(line.substr(0, t1))][unescape(line.substr(t1 + 1, t2 - t1 - 1))] = unescape(line.substr(t2 + 1));
  }
  return all;
}

bool saveRegistrations(const Registrations& all) {
  std::string text = "# Conduit registrations of the Tarvo HotSync host: creator, key, value.\n";
  for (const auto& [creator, values] : all) {
    text += escape(creator) + "\n";
    for (const auto& [key, value] : values) text += escape(creator) + "\t" + escape(key) + "\t" + escape(value) + "\n";
  }
  try {
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    pdb::writeFileAtomic(storeFile(), bytes);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace hotsync::detail
