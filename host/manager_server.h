// The resident HotSync manager's loop: answers quit requests and runs the
// HotSyncs handed to it, one at a time, each as a `tarvo-hotsync sync`
// child that writes to the caller's terminal. When it waits on a port, each
// handheld that calls joins the same queue and its HotSync writes to the
// manager's log.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "hotsync/port.h"

namespace tarvo::host {

// Set in a HotSync the manager runs, so that it does not hand itself back.
inline constexpr char kManagedEnv[] = "TARVO_HOTSYNC_MANAGED";

// Where a process keeps the HotSync users, the settings and the temporary
// files. The manager takes a HotSync only from a caller that uses its own:
// one run with other XDG folders (a test, a second profile) runs alone.
std::string dataFolders();

class ManagerServer {
 public:
  // `conduit`: the library registered for Tarv when the manager started,
  // for its log; each HotSync reads the registrations itself.
  // `handheldWait`: the seconds a HotSync may wait for its handheld.
  ManagerServer(std::filesystem::path dir, std::string conduit, int handheldWait);
  ~ManagerServer();
  ManagerServer(const ManagerServer&) = delete;
  ManagerServer& operator=(const ManagerServer&) = delete;

  // Binds the owner-only socket. False with *error.
  bool listen(std::string* error);
  // Also answers handhelds that call on `port`: a tty, net:[ADDR][:PORT]
  // (network HotSync), or usb: (each known handheld that appears on USB).
  // False with *error.
  bool waitForHandhelds(const hotsync::PortName& port, std::string* error);
  // Serves until a quit request or SIGTERM/SIGINT/SIGHUP, and the HotSync
  // in progress has ended. Returns the exit status.
  int run();

 private:
  struct State;
  std::filesystem::path dir_;
  std::string conduit_;
  int handheldWait_;
  int listenFd_ = -1;
  std::unique_ptr<hotsync::HandheldPort> port_;  // where handhelds call, when they do

  // The port's descriptor to poll, -1 when there is none now; says why a tty is missing.
  int handheldFd();
};

}  // namespace tarvo::host
