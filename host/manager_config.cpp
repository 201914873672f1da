#include "host/manager_config.h"

#include <cstdlib>
#include <fstream>

#include "hotsync/link.h"
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
    if (key == "backup") {
      if (value != "on" && value != "off") {
        *error = where + "backup needs on or off";
        return false;
      }
      config->backup = value == "on";
      continue;
    }
    if (key == "handheld-wait") {
      char* end = nullptr;
      const long seconds = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || seconds < 1 || seconds > 86400) {
        *error = where + "handheld-wait needs a number of seconds from 1 to 86400";
        return false;
      }
      config->handheldWait = static_cast<int>(seconds);
      continue;
    }
    if (key != "network" && key != "port") {
      *error = where + "unknown setting \"" + key + "\" (known: port, network, backup, handheld-wait)";
      return false;
    }
    if (key == "port") {
      std::string why;
      if (!managerTakesPort(value, &why)) {
        *error = where + why;
        return false;
      }
      config->port = value;
      continue;
    }
    if (value.empty()) {
      *error = where + "network needs off, on or ADDR[:PORT]";
      return false;
    }
    config->port = value == "off" ? "" : value == "on" ? "net:" : "net:" + value;
    if (std::string why; !config->port.empty() && !hotsync::checkPort(config->port, &why)) {
      *error = where + why;
      return false;
    }
  }
  return true;
}

bool managerTakesPort(const std::string& port, std::string* error) {
  if (port.empty()) {
    *error = "port needs a tty path, net:[ADDR][:PORT] or usb:";
    return false;
  }
  if (!hotsync::checkPort(port, error)) return false;
  if (port.starts_with('/') || port.starts_with("net:") || port == "usb:") return true;
  *error = "the HotSync manager waits on a tty, net:[ADDR][:PORT] or usb:, not " + port +
           " (run tarvo-hotsync sync --port " + port + " for it)";
  return false;
}

}  // namespace tarvo::host
