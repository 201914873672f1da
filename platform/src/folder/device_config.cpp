#include "folder/device_config.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "pdb/four_cc.h"

namespace hotsync::detail {
namespace {

std::string trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return std::string(s.substr(first, last - first + 1));
}

// Decimal, or hexadecimal after 0x; optionally signed.
template <typename T>
bool parseNumber(const std::string& text, T* value) {
  std::string_view s = text;
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return false;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  if (negative) {
    if constexpr (std::is_signed_v<T>) {
      if (magnitude > static_cast<uint64_t>(std::numeric_limits<T>::max())) return false;
      *value = -static_cast<T>(magnitude);
      return true;
    }
    return false;
  }
  if (magnitude > static_cast<uint64_t>(std::numeric_limits<T>::max())) return false;
  *value = static_cast<T>(magnitude);
  return true;
}

}  // namespace

bool parseDeviceConfig(const std::string& text, DeviceConfig* config, std::string* error) {
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  auto bad = [&](const std::string& key) {
    if (error) *error = "device.conf line " + std::to_string(lineNo) + ": bad value for " + key;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    const std::string content = trim(line);
    if (content.empty() || content[0] == '#') continue;
    const auto eq = content.find('=');
    if (eq == std::string::npos) continue;  // not a setting; tolerated like an unknown key
    const std::string key = trim(std::string_view(content).substr(0, eq));
    const std::string value = trim(std::string_view(content).substr(eq + 1));
    if (key == "user.name") {
      config->userName = value;
    } else if (key == "user.id") {
      if (!parseNumber(value, &config->userId)) return bad(key);
    } else if (key == "user.lastsyncpc") {
      if (!parseNumber(value, &config->lastSyncPc)) return bad(key);
    } else if (key == "os.version") {
      const auto dot = value.find('.');
      uint16_t major = 0, minor = 0;
      if (!parseNumber(value.substr(0, dot), &major)) return bad(key);
      if (dot != std::string::npos && !parseNumber(value.substr(dot + 1), &minor)) return bad(key);
      config->osMajor = major;
      config->osMinor = minor;
    } else if (key == "clock.offset") {
      // Beyond the span the handheld's 32-bit clock can show at all, and
      // far from where adding it to the desktop's time could overflow.
      constexpr int64_t kMaxOffset = 0xFFFFFFFFll;
      int64_t offset = 0;
      if (!parseNumber(value, &offset) || offset > kMaxOffset || offset < -kMaxOffset) {
        if (error) {
          *error = "device.conf line " + std::to_string(lineNo) +
                   ": clock.offset must be a whole number of seconds within ±" + std::to_string(kMaxOffset);
        }
        return false;
      }
      config->clockOffset = offset;
    } else if (key.rfind("feature.", 0) == 0) {
      // feature.<creator>.<number>; the creator is exactly four characters.
      const std::string rest = key.substr(8);
      const auto dot = rest.rfind('.');
      uint16_t number = 0;
      uint32_t featureValue = 0;
      if (dot != 4 || !parseNumber(rest.substr(dot + 1), &number) || !parseNumber(value, &featureValue)) {
        return bad(key);
      }
      config->features[{pdb::fourCC(rest.substr(0, 4).c_str()), number}] = featureValue;
    }
  }
  return true;
}

bool readDeviceConfig(const std::filesystem::path& file, DeviceConfig* config, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = file.string() + ": cannot read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parseDeviceConfig(text.str(), config, error);
}

std::string formatDeviceConfig(const DeviceConfig& config, const std::string& comment) {
  const DeviceConfig defaults;
  std::ostringstream out;
  if (!comment.empty()) out << "# " << comment << "\n";
  if (config.userName != defaults.userName) out << "user.name = " << config.userName << "\n";
  out << "user.id = " << config.userId << "\n";
  if (config.lastSyncPc != 0) out << "user.lastsyncpc = " << config.lastSyncPc << "\n";
  out << "os.version = " << config.osMajor << "." << config.osMinor << "\n";
  if (config.clockOffset != 0) out << "clock.offset = " << config.clockOffset << "\n";
  if (config.features != defaults.features) {
    for (const auto& [key, value] : config.features)
      out << "feature." << pdb::fourCCText(key.first) << "." << key.second << " = " << value << "\n";
  }
  return out.str();
}

bool writeDeviceConfig(const std::filesystem::path& file, const DeviceConfig& config, const std::string& comment,
                       std::string* error) {
  std::filesystem::path temporary = file;
  temporary += ".new";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out << formatDeviceConfig(config, comment);
  out.close();
  std::error_code ec;
  if (out) std::filesystem::rename(temporary, file, ec);
  if (!out || ec) {
    std::filesystem::remove(temporary, ec);
    if (error) *error = file.string() + ": cannot write";
    return false;
  }
  return true;
}

uint32_t userIdForName(const std::string& name) {
  uint32_t hash = 2166136261u;  // FNV-1a, 32 bits
  for (const char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return hash % 1000000000u + 1;
}

}  // namespace hotsync::detail
