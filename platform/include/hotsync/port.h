// Where a handheld connects, named as the Linux Palm tools name it (--port,
// $PILOTPORT, manager.conf), and the one object that opens such a port and
// hands over the handheld that calls on it. Every program and the resident
// manager go through here; nothing else opens ttys, sockets or USB for a
// handheld to call on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hotsync/syncmgr.h"

namespace hotsync {

// Network HotSync, and an emulator's serial port carried over TCP.
inline constexpr uint16_t kNetHotSyncPort = 14238;
inline constexpr uint16_t kSerialTcpPort = 6416;

// A tty path (serial HotSync), "net:[ADDR][:PORT]" (network HotSync,
// default 127.0.0.1:14238; "any" is every address), "serial-tcp:[ADDR][:PORT]"
// (an emulator's serial port: the desktop listens, the emulator connects;
// default 127.0.0.1:6416) or "usb:". Empty text is "net:".
struct PortName {
  enum Kind { Tty, Net, SerialTcp, Usb } kind = Net;
  std::string path;                 // Tty
  std::string host = "127.0.0.1";   // Net, SerialTcp
  uint16_t port = kNetHotSyncPort;  // Net, SerialTcp; 0: any free one
  bool operator==(const PortName&) const = default;
};

// False with a one-line *error when `text` names no port.
HOTSYNC_EXPORT bool parsePortName(const std::string& text, PortName* named, std::string* error);
// Several ports separated by commas or blanks, each as parsePortName takes it.
HOTSYNC_EXPORT bool parsePortNames(const std::string& text, std::vector<PortName>* named, std::string* error);
// The port as a user would type it, defaults filled in: "/dev/ttyUSB0", "net:127.0.0.1:14238".
HOTSYNC_EXPORT std::string portText(const PortName& named);
// True when only this machine can reach the port (a tty, USB, a loopback address).
HOTSYNC_EXPORT bool portIsLocal(const PortName& named);
HOTSYNC_EXPORT bool isSerialSpeed(uint32_t rate);
// Those speeds, slowest first (the Setup window offers them).
HOTSYNC_EXPORT std::vector<uint32_t> serialSpeeds();
// The speeds a serial HotSync runs at, for messages: "9600, 19200, ... or 460800".
HOTSYNC_EXPORT std::string serialSpeedList();

struct WaitOptions {
  uint32_t rate = 0;                               // serial speed cap; 0: the handheld's maximum
  int waitSeconds = 0;                             // give up after this long; 0: wait until stopped
  std::function<void(const std::string&)> notice;  // "waiting for ..." once the port is open
  std::string usbDevice;                           // usb: only the handheld at "BUS-ADDRESS"; empty: any
};
enum class WaitResult { Connected, NoHandheld, Stopped, Failed };

// A port opened for handhelds to call on. A program that runs one HotSync
// calls connect(); a loop that watches several ports and runs each HotSync
// in another process polls watchFd() and takes each call with takeCalls().
class HOTSYNC_EXPORT HandheldPort {
 public:
  // Opens `named`: binds the listening socket of net: and serial-tcp: at
  // once (so a port in use is an error here); a tty and USB are opened when
  // waited on or watched. Null with a one-line *error.
  static std::unique_ptr<HandheldPort> open(const PortName& named, std::string* error);
  ~HandheldPort();
  HandheldPort(const HandheldPort&) = delete;
  HandheldPort& operator=(const HandheldPort&) = delete;

  const PortName& name() const;
  // The listening port of net: or serial-tcp: (the free one taken for port 0).
  uint16_t boundPort() const;

  // Waits for a handheld and connects it behind the Sync Manager (its user
  // becomes the current user; disconnectHandheld ends its HotSync).
  // stopListening ends the wait at once. Anything but Connected comes with
  // a one-line *error.
  WaitResult connect(const WaitOptions& options, std::string* error);

  // A descriptor that is readable when a handheld calls: the listening
  // socket, the tty (raw, at the speed a handheld calls at) or the USB
  // watch's. -1 while there is nothing to watch: a tty that is not there
  // (tried again at each call, *note said once) or one whose call was taken
  // and not yet resumed.
  int watchFd(std::string* note);
  struct Call {
    int fd = -1;            // net: the handheld's connection, for connectHandedOverHandheld
    std::string usbDevice;  // usb: "BUS-ADDRESS", for WaitOptions::usbDevice of its HotSync
  };
  // The calls that made watchFd() readable. A tty's call carries nothing:
  // its HotSync opens the tty itself, and the tty is not watched again
  // until resume().
  std::vector<Call> takeCalls();
  // Watches a tty again after its HotSync, dropping what that left unread.
  void resume();

 private:
  struct Impl;
  explicit HandheldPort(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Ends a wait in HandheldPort::connect; safe in a signal handler.
HOTSYNC_EXPORT void stopListening();

// In the process that runs a HotSync for a loop that took the call:
// connects the handheld's connection `fd` (taken over, closed on failure)
// as connect() would.
HOTSYNC_EXPORT bool connectHandedOverHandheld(int fd, std::string* error);

}  // namespace hotsync
