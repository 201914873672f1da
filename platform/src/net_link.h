// One network HotSync connection: the TCP stream, its frames and the opening
// exchange, for either end. Every failure (a closed or silent peer, a frame
// that does not decode) throws LinkError with a one-line reason.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace hotsync::detail {

class LinkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "HOST[:PORT]" with the network HotSync port as the default. False with
// *error on a bad port.
bool splitHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* error);

class Link {
 public:
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // The handheld's end: connects to the desktop, trying again for up to
  // `retry` while nothing listens there, and makes the opening exchange.
  static std::unique_ptr<Link> connect(const std::string& host, uint16_t port, std::chrono::seconds retry);
  // The desktop's end of an accepted connection: makes the opening exchange.
  static std::unique_ptr<Link> accepted(int fd, std::string peer);
  // The same for a connection another process accepted and handed over:
  // takes `fd`, marks it close-on-exec and names the peer itself.
  static std::unique_ptr<Link> handedOver(int fd);

  // How long receive() waits for the peer before giving up.
  void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
  // A data frame. The desktop numbers each request; the handheld answers
  // with the number of the request.
  void send(std::span<const uint8_t> payload);
  // The next data frame's payload; keep-alive frames are skipped.
  std::vector<uint8_t> receive();
  void sendKeepAlive();
  const std::string& peer() const { return peer_; }

 private:
  Link(int fd, std::string peer, bool desktop) : fd_(fd), peer_(std::move(peer)), desktop_(desktop) {}
  void readExactly(uint8_t* out, std::size_t n);
  void writeAll(std::span<const uint8_t> bytes);

  int fd_ = -1;
  std::string peer_;
  bool desktop_ = false;
  uint8_t txid_ = 0;
  std::chrono::milliseconds timeout_{std::chrono::seconds(30)};
};

// A listening socket for network HotSync.
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
  std::unique_ptr<Link> accept();
  // Ends a wait in accept() from another thread or a signal handler.
  void interrupt();

 private:
  Listener() = default;
  int fd_ = -1;
  int wakeFds_[2] = {-1, -1};
  uint16_t port_ = 0;
};

}  // namespace hotsync::detail
