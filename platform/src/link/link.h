// A packet channel to the other end of a HotSync: each send or receive
// carries one DLP packet, whatever the link underneath (network frames,
// serial packets, USB). Every failure (a closed or silent peer, bytes that
// do not decode) throws LinkError with a one-line reason.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace hotsync::detail {

class LinkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Link {
 public:
  virtual ~Link() = default;
  Link() = default;
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // One packet. The desktop's requests and the handheld's answers alike.
  virtual void send(std::span<const uint8_t> packet) = 0;
  // The next packet; the link's own keep-alive and acknowledgement traffic
  // is handled underneath.
  virtual std::vector<uint8_t> receive() = 0;
  // Tells the peer the desktop is still there while nothing else is sent.
  virtual void sendKeepAlive() = 0;
  // Who is on the other end, for messages.
  virtual const std::string& peer() const = 0;
  // Whether the peer has hung up, seen without waiting (false: not known).
  virtual bool hungUp() { return false; }

  // How long receive() waits for the peer before giving up.
  void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
  std::chrono::milliseconds timeout() const { return timeout_; }

 private:
  std::chrono::milliseconds timeout_{std::chrono::seconds(30)};
};

}  // namespace hotsync::detail
