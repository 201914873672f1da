// The HotSync manager's own settings, $XDG_CONFIG_HOME/tarvo-hotsync/manager.conf
// (default ~/.config): what the manager does whichever way it is started,
// including the restart that registration does, which passes no options.
//
//   # a port as --port names it: a tty path, net:[ADDR][:PORT] or usb:;
//   # one line per port, all watched at once
//   port = /dev/ttyUSB0
//   # a serial port's speed after its path caps that cradle's line
//   port = /dev/ttyS0 57600
//   port = usb:
//   # USB handhelds: on (the default) or off
//   usb = on
//   # network HotSync: off (the default), on (127.0.0.1:14238) or ADDR[:PORT]
//   network = on
//   # the backup after the conduits at every HotSync: on (the default) or off
//   backup = off
//   # seconds a HotSync may wait for its handheld while others queue (300)
//   handheld-wait = 120
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvo::host {

struct ManagerConfig {
  std::vector<std::string> ports;         // where handhelds call, as --port names them; usb: first unless turned off
  bool backup = true;                     // back up the changed databases after the conduits
  int handheldWait = 300;                 // seconds a HotSync may wait for its handheld
  std::map<std::string, uint32_t> rates;  // a serial port's cap on its speed, by its path
};

std::filesystem::path managerConfigFile();

// Reads `file` over the defaults in *config; a missing file changes nothing.
// False with a one-line *error naming the file and line of anything it
// does not understand.
bool readManagerConfig(const std::filesystem::path& file, ManagerConfig* config, std::string* error);

// False with a one-line *error when the manager cannot wait on `port`
// (it waits on ttys, network HotSync and USB).
bool managerTakesPort(const std::string& port, std::string* error);

// The port as the manager names it, defaults filled in ("net:" is
// "net:127.0.0.1:14238"); text that names no port as it is.
std::string canonicalPort(const std::string& port);

// The connections as the desktop's Setup window edits them. They are read
// the way the manager reads the file, so that the window shows what the
// manager watches.
enum class NetworkReach { Off, ThisMachine, LocalNetwork };

struct ManagerConnections {
  bool usb = true;
  std::vector<std::string> serialPorts;         // tty paths
  std::map<std::string, uint32_t> serialRates;  // a port's speed cap; none: the handheld's fastest
  NetworkReach network = NetworkReach::Off;
  // The file's ADDR[:PORT] when it is not the reach's default; written back
  // while the reach stays the same.
  std::string networkAddress;
  bool backup = true;
};

// Reads `file` as the manager does, passing over the lines the manager would
// refuse (it names them itself when it starts). A missing file gives the
// defaults. False with *error when the file cannot be read.
bool readManagerConnections(const std::filesystem::path& file, ManagerConnections* connections, std::string* error);

// Replaces the usb, network, backup and serial port lines of `file` with
// `connections`, keeping every other line (comments, handheld-wait, net:
// ports) where it was, and puts the new file in place in one step.
// False with *error.
bool writeManagerConnections(const std::filesystem::path& file, const ManagerConnections& connections,
                             std::string* error);

}  // namespace tarvo::host
