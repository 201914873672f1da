#include "host/watched_port.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "host/handheld_port.h"
#include "host/manager_config.h"
#include "hotsync/port.h"

namespace tarvo::host {
namespace {

// What the user can do about a port that cannot be used.
std::string remedyFor(const hotsync::PortName& named, const std::string& reason) {
  switch (named.kind) {
    case hotsync::PortName::Tty:
      if (reason.find("ermission") != std::string::npos)
        return "add yourself to the dialout group (sudo adduser $USER dialout) and log in again";
      if (reason.find("o such file") != std::string::npos)
        return "plug in the cradle or its USB-serial adapter, or check the name (ls /dev/tty*)";
      return "";
    case hotsync::PortName::Usb:
      return "USB handhelds need libusb and the udev rule 60-tarvo-hotsync.rules (docs/link.md)";
    case hotsync::PortName::Net:
    case hotsync::PortName::SerialTcp:
      return "another program listens on that address (a tarvo-hotsync sync --port net: perhaps); when it ends, "
             "network HotSync starts here";
  }
  return "";
}

// One port through the platform's port road: it opens the port, watches it
// and hands over each handheld that calls.
class PlatformPort final : public WatchedPort {
 public:
  explicit PlatformPort(const hotsync::PortName& named) : named_(named) { name_ = hotsync::portText(named); }

  const char* link() const override {
    return named_.kind == hotsync::PortName::Usb ? "usb" : named_.kind == hotsync::PortName::Tty ? "serial" : "network";
  }

  std::string watchingLine() const override {
    if (named_.kind == hotsync::PortName::Usb)
      return "watching USB for handhelds" + (note_.empty() ? "" : " (" + note_ + ")");
    if (named_.kind == hotsync::PortName::Tty) return "watching " + name_ + " for a handheld";
    return "listening for network HotSync on port " + std::to_string(port_->boundPort());
  }

  bool open() override {
    std::string error;
    if (!port_) {
      port_ = hotsync::HandheldPort::open(named_, &error);
      if (!port_) return unavailable(error);
      // The warning about an address others can reach is said once.
      if (named_.kind == hotsync::PortName::Net) warnWhenReachable(named_, name_);
    }
    if (calledAlready_) return true;
    std::string note;
    fd_ = port_->watchFd(&note);
    if (fd_ < 0) return unavailable(note.empty() ? reason_ : note);
    note_ = named_.kind == hotsync::PortName::Usb ? note : "";
    reason_.clear();
    remedy_.clear();
    return true;
  }

  int pollFd() const override { return calledAlready_ ? -1 : fd_; }

  std::vector<PortCall> called(short /*revents*/) override {
    std::vector<PortCall> calls;
    for (hotsync::HandheldPort::Call& call : port_->takeCalls()) {
      switch (named_.kind) {
        case hotsync::PortName::Net:
        case hotsync::PortName::SerialTcp:
          calls.push_back({{"--listen"}, call.fd});
          break;
        case hotsync::PortName::Usb:
          calls.push_back({{"--port", "usb:", "--usb-device", call.usbDevice}, -1});
          break;
        case hotsync::PortName::Tty:
          // Its HotSync opens the tty and reads what it sent; the tty is
          // not watched again until that HotSync ends.
          calledAlready_ = true;
          calls.push_back({{"--port", name_}, -1});
          break;
      }
    }
    if (named_.kind == hotsync::PortName::Tty && calls.empty()) {
      // It hung up (unplugged): looked for again.
      fd_ = -1;
      reason_ = name_ + ": the device went away";
      remedy_ = "plug the cradle or its adapter in again";
    }
    return calls;
  }

  void hotSyncEnded() override {
    if (named_.kind != hotsync::PortName::Tty || !calledAlready_) return;
    calledAlready_ = false;
    port_->resume();
  }

 private:
  bool unavailable(const std::string& why) {
    fd_ = -1;
    reason_ = why;
    remedy_ = remedyFor(named_, why);
    return false;
  }

  hotsync::PortName named_;
  std::unique_ptr<hotsync::HandheldPort> port_;
  int fd_ = -1;
  std::string note_;  // how USB is watched here
};

}  // namespace

short WatchedPort::pollEvents() const { return POLLIN; }

std::unique_ptr<WatchedPort> WatchedPort::make(const std::string& port, std::string* error) {
  if (!managerTakesPort(port, error)) return nullptr;
  hotsync::PortName named;
  if (!hotsync::parsePortName(port, &named, error)) return nullptr;
  return std::make_unique<PlatformPort>(named);
}

}  // namespace tarvo::host
