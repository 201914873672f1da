// Network HotSync (the Desktop Link Protocol over TCP, port 14238): the
// handheld's end, played by a simulated handheld, and the desktop's end,
// which connects a real or played handheld behind the Sync Manager.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "hotsync/syncmgr.h"

namespace hotsync {

using LinkNotice = std::function<void(const std::string&)>;

// Plays the simulated handheld in `dir` making a network HotSync with the
// desktop at `desktop` ("HOST[:PORT]"): connects (trying again for up to
// `options.retrySeconds` while nothing listens), answers the desktop's requests
// with the same crash safety as a local HotSync, and returns when the
// desktop ends the sync. False with a one-line *error when the folder is not
// a handheld or the link fails; every change a completed request made is
// kept either way.
// How long a handheld waits for a silent desktop before it drops the
// HotSync, as a real one does (docs/link.md): a desktop busy elsewhere must
// send keep-alives more often than this.
constexpr int kHandheldPatienceSeconds = 30;

struct PlayOptions {
  int retrySeconds = 0;
  int patienceSeconds = kHandheldPatienceSeconds;  // silence from the desktop before giving up
  uint64_t hangUpAfter = 0;                        // hang up after answering that many requests (0: never)
  LinkNotice notice;
};
HOTSYNC_EXPORT bool playNetworkHotSync(const std::filesystem::path& dir, const std::string& desktop,
                                       const PlayOptions& options, std::string* error);

// The same as a handheld in a serial cradle: sends the wakeup on the tty
// `device` (again and again for up to `options.retrySeconds` while nobody
// answers), offering `rate` baud (0: 115200) for the desktop to choose from.
// With `overTcp`, `device` is "HOST[:PORT]" of a desktop that listens for an
// emulator's serial port (port 6416 unless given).
struct SerialTarget {
  std::string device;
  bool overTcp = false;
  uint32_t rate = 0;
};
HOTSYNC_EXPORT bool playSerialHotSync(const std::filesystem::path& dir, const SerialTarget& target,
                                      const PlayOptions& options, std::string* error);

// The desktop's end. Opens the listening socket on `address` ("HOST[:PORT]",
// port 0 for any free one) and returns the port, or 0 with *error.
HOTSYNC_EXPORT uint16_t listenForHandheld(const std::string& address, std::string* error);
// Waits for a handheld on that socket and connects it as connectHandheld
// (hotsync/host.h) connects a folder: the Sync Manager then works on it and
// its user becomes the current user. disconnectHandheld ends its HotSync.
// False with a one-line *error when no handheld came or it did not answer.
HOTSYNC_EXPORT bool acceptNetworkHandheld(std::string* error);
// Ends a wait in acceptNetworkHandheld or waitForHandheldOn; safe in a
// signal handler.
HOTSYNC_EXPORT void stopListening();
// Closes the listening socket.
HOTSYNC_EXPORT void closeListener();

// Waiting for a handheld on a port named as the Linux Palm tools name it:
// a tty path (/dev/ttyUSB0), "net:[ADDR][:PORT]" (default 127.0.0.1:14238),
// "serial-tcp:[ADDR][:PORT]" (default 127.0.0.1:6416) or "usb:"; empty is
// "net:". When it comes it is connected as acceptNetworkHandheld connects
// one. stopListening ends the wait at once.
struct WaitOptions {
  std::string port;
  uint32_t rate = 0;    // serial speed cap; 0: the handheld's maximum
  int waitSeconds = 0;  // give up after this long; 0: wait until stopped
  LinkNotice notice;    // "waiting for ..." once the port is open
};
enum class WaitResult { Connected, NoHandheld, Stopped, Failed };
// False with a one-line *error when `port` names no port.
HOTSYNC_EXPORT bool checkPort(const std::string& port, std::string* error);
// The port with its defaults filled in ("net:127.0.0.1:14238"); empty when
// `port` names none.
HOTSYNC_EXPORT std::string portName(const std::string& port);
// True when only this machine can reach `port` (a tty, USB, loopback).
HOTSYNC_EXPORT bool portIsLocal(const std::string& port);
// Anything but Connected comes with a one-line *error.
HOTSYNC_EXPORT WaitResult waitForHandheldOn(const WaitOptions& options, std::string* error);

// For a host that waits for handhelds in its own loop and runs each
// HotSync in another process (the resident manager): the listening socket
// to poll and accept on (-1 when not listening), and, in the process that
// runs the HotSync, connecting the accepted connection `fd` (taken over,
// closed on failure) as acceptNetworkHandheld would.
HOTSYNC_EXPORT int listenerSocket();
HOTSYNC_EXPORT bool connectHandedOverHandheld(int fd, std::string* error);

}  // namespace hotsync
