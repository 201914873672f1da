// A listening socket for network HotSync.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/net/net_link.h"

namespace hotsync::detail {

class Listener {
 public:
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  // Throws LinkError when the address cannot be used.
  static std::unique_ptr<Listener> open(const std::string& host, uint16_t port);
  uint16_t port() const { return port_; }
  int fd() const { return fd_; }
  // Waits for one handheld and makes the opening exchange with it.
  std::unique_ptr<NetLink> accept();
  // Ends a wait in accept() from another thread or a signal handler.
  void interrupt();

 private:
  Listener() = default;
  int fd_ = -1;
  int wakeFds_[2] = {-1, -1};
  uint16_t port_ = 0;
};

}  // namespace hotsync::detail
