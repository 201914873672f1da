// The resident HotSync manager's loop: runs the HotSyncs handed to it and
// those of the handhelds that call on its ports, one at a time, each as a
// `tarvo-hotsync sync` child; answers the requests of its socket (state,
// events, reload, quit, sync: docs/manager-protocol.md).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "host/manager_config.h"

namespace tarvo::host {

class ManagerServer {
 public:
  // Reads the settings (the file under the command line's options): at the
  // start and at each reload. False with a one-line *error.
  using ConfigReader = std::function<bool(ManagerConfig*, std::string*)>;

  ManagerServer(std::filesystem::path dir, ConfigReader readConfig);
  ~ManagerServer();
  ManagerServer(const ManagerServer&) = delete;
  ManagerServer& operator=(const ManagerServer&) = delete;

  // Binds the owner-only socket and reads the settings. False with *error.
  bool start(std::string* error);
  // Serves until a quit request or SIGTERM/SIGINT/SIGHUP, and the HotSync
  // in progress has ended. Returns the exit status.
  int run();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarvo::host
