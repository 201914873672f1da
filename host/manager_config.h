// The HotSync manager's own settings, $XDG_CONFIG_HOME/tarvo-hotsync/manager.conf
// (default ~/.config): what the manager does whichever way it is started,
// including the restart that registration does, which passes no options.
//
//   # a port as --port names it: a tty path, net:[ADDR][:PORT] or usb:
//   port = /dev/ttyUSB0
//   # network HotSync: off (the default), on (127.0.0.1:14238) or ADDR[:PORT]
//   network = on
//   # the backup after the conduits at every HotSync: on (the default) or off
//   backup = off
//   # seconds a HotSync may wait for its handheld while others queue (300)
//   handheld-wait = 120
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "hotsync/port.h"

namespace tarvo::host {

struct ManagerConfig {
  std::optional<hotsync::PortName> port;  // where handhelds call; none: nowhere
  bool backup = true;                     // back up the changed databases after the conduits
  int handheldWait = 300;                 // seconds a HotSync may wait for its handheld
};

std::filesystem::path managerConfigFile();

// Reads `file` over the defaults in *config; a missing file changes nothing.
// False with a one-line *error naming the file and line of anything it
// does not understand.
bool readManagerConfig(const std::filesystem::path& file, ManagerConfig* config, std::string* error);

// The port `text` names (as --port names it), when the manager can wait on
// it (ttys, network HotSync and USB). False with a one-line *error.
bool parseManagerPort(const std::string& text, hotsync::PortName* port, std::string* error);

}  // namespace tarvo::host
