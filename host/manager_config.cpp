#include "host/manager_config.h"

#include <cstdlib>
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
    if (key == "network" && value.empty()) {
      *error = where + "network needs off, on or ADDR[:PORT]";
      return false;
    }
    if (key == "network" && value == "off") {
      config->port.reset();
      continue;
    }
    const std::string text = key == "port" ? value : value == "on" ? "net:" : "net:" + value;
    hotsync::PortName port;
    if (std::string why; !parseManagerPort(text, &port, &why)) {
      *error = where + why;
      return false;
    }
    config->port = port;
  }
  return true;
}

bool parseManagerPort(const std::string& text, hotsync::PortName* port, std::string* error) {
  if (text.empty()) {
    *error = "port needs a tty path, net:[ADDR][:PORT] or usb:";
    return false;
  }
  if (!hotsync::parsePortName(text, port, error)) return false;
  if (port->kind != hotsync::PortName::SerialTcp) return true;
  *error = "the HotSync manager waits on a tty, net:[ADDR][:PORT] or usb:, not " + text +
           " (run tarvo-hotsync sync --port " + text + " for it)";
  return false;
}

}  // namespace tarvo::host
