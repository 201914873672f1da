#include "host/manager_config.h"

#include <fstream>

#include "xdg/base_dirs.h"

namespace tarvo::host {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::filesystem::path managerConfigFile() { return xdg::configHome() / "tarvo-hotsync" / "manager.conf"; }

bool readManagerConfig(const std::filesystem::path& file, ManagerConfig* config, std::string* error) {
  std::ifstream in(file);
  if (!in) return true;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const auto equals = line.find('=');
    const std::string key = trimmed(line.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : trimmed(line.substr(equals + 1));
    const std::string where = file.string() + ":" + std::to_string(number) + ": ";
    if (key != "network") {
      *error = where + "unknown setting \"" + key + "\" (known: network)";
      return false;
    }
    if (value.empty()) {
      *error = where + "network needs off, on or ADDR[:PORT]";
      return false;
    }
    config->network = value != "off";
    config->address = value == "on" || value == "off" ? "" : value;
  }
  return true;
}

}  // namespace tarvo::host
