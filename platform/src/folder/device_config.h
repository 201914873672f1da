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

}  // namespace hotsync::detail
