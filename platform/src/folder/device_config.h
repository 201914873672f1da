// device.conf of a simulated handheld: who owns it and what it reports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace hotsync::detail {

struct DeviceConfig {
  std::string userName = "Handheld User";  // UTF-8
  uint32_t userId = 0;
  uint32_t lastSyncPc = 0;
  uint16_t osMajor = 3;
  uint16_t osMinor = 5;
  int64_t clockOffset = 0;  // seconds added to the desktop clock
  // (creator, number) -> value
  std::map<std::pair<uint32_t, uint16_t>, uint32_t> features{{{0x70737973u, 2}, 0x00030000u}};  // psys/2
};

// Parses the text of a device.conf. False with a one-line *error naming the
// line when a known key has a value that does not parse.
bool parseDeviceConfig(const std::string& text, DeviceConfig* config, std::string* error);
bool readDeviceConfig(const std::filesystem::path& file, DeviceConfig* config, std::string* error);

// The text parseDeviceConfig reads back as `config`, after `comment` (a
// "# " line, none when empty). Keys left at their defaults are left out.
std::string formatDeviceConfig(const DeviceConfig& config, const std::string& comment);
// Writes it in place of `file` whole (a new file renamed over the name).
bool writeDeviceConfig(const std::filesystem::path& file, const DeviceConfig& config, const std::string& comment,
                       std::string* error);

// A user id of its own for a handheld owned by `name` (FNV-1a of the name,
// 1 to 10^9), so that a desktop does not take it for another handheld.
uint32_t userIdForName(const std::string& name);

}  // namespace hotsync::detail
