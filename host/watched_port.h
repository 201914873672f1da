// A port the HotSync manager waits on for handhelds that call: a tty (a
// serial cradle), network HotSync, or USB. A port that cannot be opened
// now says why and what to do, and is tried again; it never stops the
// manager.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarvo::host {

// A handheld that called: what its HotSync is started with.
struct PortCall {
  std::vector<std::string> options;  // sync's port options for it
  int linkFd = -1;                   // a network handheld's connection, owned by the call
};

class WatchedPort {
 public:
  // The port named as --port names it (a tty path, net:[ADDR][:PORT],
  // usb:); nullptr with *error for one the manager cannot watch.
  static std::unique_ptr<WatchedPort> make(const std::string& port, std::string* error);
  virtual ~WatchedPort() = default;

  // As --port names it, with the defaults filled in.
  const std::string& name() const { return name_; }
  // usb, serial or network.
  virtual const char* link() const = 0;

  // Opens it when it is not open yet; false with reason() and remedy()
  // when it cannot be now.
  virtual bool open() = 0;
  bool isOpen() const { return pollFd() >= 0 || calledAlready_; }
  const std::string& reason() const { return reason_; }
  const std::string& remedy() const { return remedy_; }
  // What the log says once it is open.
  virtual std::string watchingLine() const = 0;

  // What the manager's loop polls for it; -1: nothing now.
  virtual int pollFd() const = 0;
  virtual short pollEvents() const;
  // It was ready: the handhelds that called (none when it only hung up,
  // which closes it until the next open()).
  virtual std::vector<PortCall> called(short revents) = 0;
  // The HotSync of a handheld that called here ended.
  virtual void hotSyncEnded() {}

 protected:
  std::string name_;
  std::string reason_, remedy_;
  bool calledAlready_ = false;  // a tty whose handheld's HotSync is queued or runs
};

}  // namespace tarvo::host
