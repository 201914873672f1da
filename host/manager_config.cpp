#include "host/manager_config.h"

#include <algorithm>
#include <fstream>

#include "cli/arguments.h"
#include "hotsync/port.h"
#include "xdg/base_dirs.h"

namespace tarvo::host {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool readSettings(const std::filesystem::path& file, ManagerConfig* config, bool* usb, std::string* error) {
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
    if (key == "usb") {
      if (value != "on" && value != "off") {
        *error = where + "usb needs on or off";
        return false;
      }
      *usb = value == "on";
      continue;
    }
    if (key == "handheld-wait") {
      int64_t seconds = 0;
      if (!cli::parseNumber(value, 1, 86400, &seconds)) {
        *error = where + "handheld-wait needs a number of seconds from 1 to 86400";
        return false;
      }
      config->handheldWait = static_cast<int>(seconds);
      continue;
    }
    if (key != "network" && key != "port") {
      *error = where + "unknown setting \"" + key + "\" (known: port, usb, network, backup, handheld-wait)";
      return false;
    }
    if (key == "port") {
      std::string why;
      // "PATH SPEED": a serial cradle's speed after its path (a tty path
      // holds no blank).
      const auto blank = value.find_first_of(" \t");
      const std::string speed = blank == std::string::npos ? "" : trimmed(value.substr(blank));
      const std::string port = value.substr(0, blank);
      if (!speed.empty()) {
        hotsync::PortName named;
        int64_t rate = 0;
        if (!hotsync::parsePortName(port, &named, &why) || named.kind != hotsync::PortName::Tty) {
          *error = where + "only a serial port has a speed, not " + port;
          return false;
        }
        if (!cli::parseNumber(speed, 1, UINT32_MAX, &rate) || !hotsync::isSerialSpeed(static_cast<uint32_t>(rate))) {
          *error = where + "a serial speed is " + hotsync::serialSpeedList() + ", not " + speed;
          return false;
        }
        config->rates[port] = static_cast<uint32_t>(rate);
      }
      const std::string& value = port;
      if (value.starts_with("net:"))
        std::erase_if(config->ports, [](const std::string& p) { return p.starts_with("net:"); });
      if (!managerTakesPort(value, &why)) {
        *error = where + why;
        return false;
      }
      if (std::find(config->ports.begin(), config->ports.end(), value) == config->ports.end())
        config->ports.push_back(value);
      continue;
    }
    if (value.empty()) {
      *error = where + "network needs off, on or ADDR[:PORT]";
      return false;
    }
    // One network port: the last line that names it wins.
    std::erase_if(config->ports, [](const std::string& p) { return p.starts_with("net:"); });
    if (value == "off") continue;
    const std::string port = value == "on" ? "net:" : "net:" + value;
    if (std::string why; !managerTakesPort(port, &why)) {
      *error = where + why;
      return false;
    }
    config->ports.push_back(port);
  }
  return true;
}

}  // namespace

std::filesystem::path managerConfigFile() { return xdg::configHome() / "tarvo-hotsync" / "manager.conf"; }

bool readManagerConfig(const std::filesystem::path& file, ManagerConfig* config, std::string* error) {
  // Out of the box USB is watched (it costs nothing while no handheld is
  // there), and so is every port the file names.
  bool usb = true;
  const bool done = readSettings(file, config, &usb, error);
  if (done && usb && std::find(config->ports.begin(), config->ports.end(), "usb:") == config->ports.end())
    config->ports.insert(config->ports.begin(), "usb:");
  return done;
}

bool managerTakesPort(const std::string& port, std::string* error) {
  if (port.empty()) {
    *error = "port needs a tty path, net:[ADDR][:PORT] or usb:";
    return false;
  }
  hotsync::PortName named;
  if (!hotsync::parsePortName(port, &named, error)) return false;
  if (named.kind != hotsync::PortName::SerialTcp) return true;
  *error = "the HotSync manager waits on a tty, net:[ADDR][:PORT] or usb:, not " + port +
           " (run tarvo-hotsync sync --port " + port + " for it)";
  return false;
}

std::string canonicalPort(const std::string& port) {
  hotsync::PortName named;
  std::string error;
  return hotsync::parsePortName(port, &named, &error) ? hotsync::portText(named) : port;
}

}  // namespace tarvo::host
