#include "host/manager_config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>

#include "cli/arguments.h"
#include "hotsync/port.h"
#include "xdg/base_dirs.h"

namespace tarvo::host {
namespace {

const char kAllAddresses[] = "0.0.0.0";

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// "key = value" of a line; false for a blank line or a comment. A line
// without "=" is all key.
bool settingOf(const std::string& text, std::string* key, std::string* value) {
  const std::string line = trimmed(text);
  if (line.empty() || line[0] == '#') return false;
  const auto equals = line.find('=');
  *key = trimmed(line.substr(0, equals));
  *value = equals == std::string::npos ? "" : trimmed(line.substr(equals + 1));
  return true;
}

bool onOff(const std::string& value, bool* on) {
  if (value != "on" && value != "off") return false;
  *on = value == "on";
  return true;
}

// One setting over *config; false with *why when the manager refuses it,
// leaving *config as it was.
bool applySetting(const std::string& key, const std::string& value, ManagerConfig* config, bool* usb,
                  std::string* why) {
  if (key == "backup") {
    if (onOff(value, &config->backup)) return true;
    *why = "backup needs on or off";
    return false;
  }
  if (key == "usb") {
    if (onOff(value, usb)) return true;
    *why = "usb needs on or off";
    return false;
  }
  if (key == "handheld-wait") {
    int64_t seconds = 0;
    if (!cli::parseNumber(value, 1, 86400, &seconds)) {
      *why = "handheld-wait needs a number of seconds from 1 to 86400";
      return false;
    }
    config->handheldWait = static_cast<int>(seconds);
    return true;
  }
  if (key == "port") {
    // "PATH SPEED": a serial cradle's speed after its path (a tty path
    // holds no blank).
    const auto blank = value.find_first_of(" \t");
    const std::string speed = blank == std::string::npos ? "" : trimmed(value.substr(blank));
    const std::string port = value.substr(0, blank);
    int64_t rate = 0;
    if (!speed.empty()) {
      hotsync::PortName named;
      if (!hotsync::parsePortName(port, &named, why) || named.kind != hotsync::PortName::Tty) {
        *why = "only a serial port has a speed, not " + port;
        return false;
      }
      if (!cli::parseNumber(speed, 1, UINT32_MAX, &rate) || !hotsync::isSerialSpeed(static_cast<uint32_t>(rate))) {
        *why = "a serial speed is " + hotsync::serialSpeedList() + ", not " + speed;
        return false;
      }
    }
    if (!managerTakesPort(port, why)) return false;
    if (rate > 0) config->rates[port] = static_cast<uint32_t>(rate);
    // One network port: the last line that names it wins.
    if (port.starts_with("net:"))
      std::erase_if(config->ports, [](const std::string& p) { return p.starts_with("net:"); });
    if (std::find(config->ports.begin(), config->ports.end(), port) == config->ports.end())
      config->ports.push_back(port);
    return true;
  }
  if (key != "network") {
    *why = "unknown setting \"" + key + "\" (known: port, usb, network, backup, handheld-wait)";
    return false;
  }
  if (value.empty()) {
    *why = "network needs off, on or ADDR[:PORT]";
    return false;
  }
  const std::string port = value == "on" ? "net:" : "net:" + value;
  if (value != "off" && !managerTakesPort(port, why)) return false;
  std::erase_if(config->ports, [](const std::string& p) { return p.starts_with("net:"); });
  if (value != "off") config->ports.push_back(port);
  return true;
}

// The settings of `in` over *config. Strict: false at the first line the
// manager refuses, with *error naming the file and line. Otherwise such
// lines are passed over.
bool readSettings(std::istream& in, const std::filesystem::path& file, bool strict, ManagerConfig* config, bool* usb,
                  std::string* error) {
  std::string line, key, value;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!settingOf(line, &key, &value)) continue;
    if (std::string why; !applySetting(key, value, config, usb, &why) && strict) {
      *error = file.string() + ":" + std::to_string(number) + ": " + why;
      return false;
    }
  }
  return true;
}

// Out of the box USB is watched (it costs nothing while no handheld is
// there), and so is every port the file names.
void watchUsb(ManagerConfig* config, bool usb) {
  if (usb && std::find(config->ports.begin(), config->ports.end(), "usb:") == config->ports.end())
    config->ports.insert(config->ports.begin(), "usb:");
}

std::string onOffText(bool on) { return on ? "on" : "off"; }

NetworkReach reachOf(const std::string& address) {
  return address.starts_with("127.") ? NetworkReach::ThisMachine : NetworkReach::LocalNetwork;
}

std::string networkValue(const ManagerConnections& connections) {
  if (connections.network == NetworkReach::Off) return "off";
  // An address the file had stays only while it reaches as far as chosen.
  if (!connections.networkAddress.empty() && reachOf(connections.networkAddress) == connections.network)
    return connections.networkAddress;
  return connections.network == NetworkReach::ThisMachine ? "on" : kAllAddresses;
}

std::string failure(const std::filesystem::path& file, int error) {
  return file.string() + ": " + std::strerror(error);
}

// Writes `text` beside `file` and renames it over the name, so that a
// reader sees the old file or the new one, never a part. An existing
// file's permissions carry over.
bool replaceFile(const std::filesystem::path& file, const std::string& text, std::string* error) {
  std::error_code ignored;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ignored);
  struct stat old {};
  const bool existed = ::stat(file.c_str(), &old) == 0;
  const std::string temporary = file.string() + ".new-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = failure(file, errno);
    return false;
  }
  bool written = !existed || ::fchmod(fd, old.st_mode & 07777) == 0;
  for (size_t done = 0; written && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    written = n > 0;
    if (written) done += static_cast<size_t>(n);
  }
  written = written && ::fsync(fd) == 0;
  const int saved = errno;
  if (::close(fd) != 0 && written) written = false;
  if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
    *error = failure(file, written ? errno : saved);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::filesystem::path managerConfigFile() { return xdg::configHome() / "tarvo-hotsync" / "manager.conf"; }

bool readManagerConfig(const std::filesystem::path& file, ManagerConfig* config, std::string* error) {
  std::ifstream in(file);
  bool usb = true;
  const bool done = !in || readSettings(in, file, true, config, &usb, error);
  if (done) watchUsb(config, usb);
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

bool readManagerConnections(const std::filesystem::path& file, ManagerConnections* connections, std::string* error) {
  *connections = ManagerConnections();
  std::error_code ignored;
  if (!std::filesystem::exists(file, ignored)) return true;
  std::ifstream in(file);
  if (!in) {
    *error = failure(file, errno);
    return false;
  }
  ManagerConfig config;
  bool usb = true;
  readSettings(in, file, false, &config, &usb, error);
  watchUsb(&config, usb);
  connections->backup = config.backup;
  connections->usb = false;
  for (const std::string& port : config.ports) {
    if (port == "usb:") {
      connections->usb = true;
    } else if (port.starts_with("net:")) {
      const std::string address = port.substr(4);
      connections->network = address.empty() ? NetworkReach::ThisMachine : reachOf(address);
      if (address != kAllAddresses) connections->networkAddress = address;
    } else {
      connections->serialPorts.push_back(port);
      if (const auto rate = config.rates.find(port); rate != config.rates.end())
        connections->serialRates[port] = rate->second;
    }
  }
  return true;
}

bool writeManagerConnections(const std::filesystem::path& file, const ManagerConnections& connections,
                             std::string* error) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  std::string line, key, value;
  // Every line but the settings written below stays where it was.
  while (std::getline(in, line)) {
    if (settingOf(line, &key, &value) &&
        (key == "usb" || key == "network" || key == "backup" || (key == "port" && !value.starts_with("net:"))))
      continue;
    lines.push_back(line);
  }
  while (!lines.empty() && trimmed(lines.back()).empty()) lines.pop_back();
  lines.push_back("usb = " + onOffText(connections.usb));
  for (const std::string& port : connections.serialPorts) {
    const auto rate = connections.serialRates.find(port);
    lines.push_back(
        "port = " + port +
        (rate == connections.serialRates.end() || rate->second == 0 ? "" : " " + std::to_string(rate->second)));
  }
  lines.push_back("network = " + networkValue(connections));
  lines.push_back("backup = " + onOffText(connections.backup));
  std::string text;
  for (const std::string& kept : lines) text += kept + "\n";
  return replaceFile(file, text, error);
}

}  // namespace tarvo::host
