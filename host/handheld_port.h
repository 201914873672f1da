// Where a command waits for a live handheld: --port PORT (a tty path,
// net:[ADDR][:PORT], serial-tcp:[ADDR][:PORT], usb:), --listen[=ADDR[:PORT]]
// (the same as --port net:...), else $PILOTPORT; --rate N, else $PILOTRATE,
// caps a serial line's speed; --wait SECONDS gives up on a handheld that
// never comes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "hotsync/port.h"

namespace tarvo::host {

// The options as given; nullopt when not given (--listen without a value
// is an empty text).
struct PortOptions {
  std::optional<std::string> port, listen, rate, wait;
};

struct ChosenPort {
  hotsync::PortName name;
  std::string shown;  // as given ("net:" when none was), for messages
  uint32_t rate = 0;
  int waitSeconds = 0;
  int handedLinkFd = -1;  // a network handheld the HotSync manager accepted (sync --link-fd)
  std::string usbDevice;  // usb: only the handheld at "BUS-ADDRESS" (sync --usb-device)
};

// The options of a command whose table has port, listen, rate and wait.
PortOptions portOptions(const cli::Args& args);

// The port the options name, else the one $PILOTPORT names when
// `useEnvironment`. *named is false when none is named. False with a
// one-line *error on text that names no port, speed or number of seconds.
bool choosePort(const PortOptions& given, bool useEnvironment, ChosenPort* out, bool* named, std::string* error);

// The warning for a port that others than this machine can reach.
void warnWhenReachable(const hotsync::PortName& name, const std::string& shown);

// Waits for a handheld on `port` and connects it (with the HotSync
// manager's handed-over link instead when there is one). Ctrl-C stops the
// wait. Returns kExitOk, or a status with a one-line *error: kExitNoHandheld
// when --wait ran out, kExitCancelled when stopped, kExitBadInput otherwise.
int waitForHandheld(const ChosenPort& port, std::string* error);

}  // namespace tarvo::host
