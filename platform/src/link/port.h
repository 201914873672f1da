// Where a handheld connects, named as the Linux Palm tools name it: a tty
// path (serial HotSync), "net:[ADDR][:PORT]" (network HotSync),
// "serial-tcp:[ADDR][:PORT]" (an emulator's serial port carried over TCP:
// the desktop listens, the emulator connects) or "usb:".
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace hotsync::detail {

struct PortName {
  enum Kind { Tty, Net, SerialTcp, Usb } kind = Net;
  std::string path;  // Tty
  std::string host;  // Net, SerialTcp
  uint16_t port = 0;
};

constexpr uint16_t kSerialTcpPort = 6416;

// Parses `text`; empty text is "net:". False with a one-line *error.
bool parsePortName(const std::string& text, PortName* named, std::string* error);
// The port as a user would type it: "/dev/ttyUSB0", "net:127.0.0.1:14238".
std::string portText(const PortName& named);
// True when only this machine can reach the port (a tty, USB, a loopback address).
bool portIsLocal(const PortName& named);

// How to wait for a handheld on a port. The wait ends with NoHandheldCame
// at `deadline`, with WaitStopped as soon as `cancelFd` becomes readable,
// and with LinkError for anything else.
struct PortWait {
  uint32_t rate = 0;  // serial speed cap; 0: the handheld's maximum
  std::optional<std::chrono::steady_clock::time_point> deadline;
  int cancelFd = -1;
};

}  // namespace hotsync::detail
