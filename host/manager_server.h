// The resident HotSync manager's loop: answers quit requests and runs the
// HotSyncs handed to it, one at a time, each as a `tarvo-hotsync sync`
// child that writes to the caller's terminal. When it waits on a port, each
// handheld that calls joins the same queue and its HotSync writes to the
// manager's log.
#pragma once

#include <filesystem>
#include <string>

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
  bool waitForHandhelds(const std::string& port, std::string* error);
  // Serves until a quit request or SIGTERM/SIGINT/SIGHUP, and the HotSync
  // in progress has ended. Returns the exit status.
  int run();

 private:
  struct State;
  std::filesystem::path dir_;
  std::string conduit_;
  int handheldWait_;
  int listenFd_ = -1;
  int handheldFd_ = -1;  // the platform's listening socket, not ours to close
  std::string ttyPath_;  // a tty handhelds call on
  int ttyFd_ = -1;
  int usbFd_ = -1;          // the platform's USB watch, not ours to close
  bool ttyQueued_ = false;  // its HotSync is queued or running
  bool ttyMissingSaid_ = false;

  bool listenForHandhelds(const std::string& address, std::string* error);
  void openTty();
};

}  // namespace tarvo::host
