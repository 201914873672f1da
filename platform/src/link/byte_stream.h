// The bytes under a link: a TCP connection, a serial tty, a USB pipe. A
// stream reads what has come, writes everything it is given, and can be
// woken from a wait. Failures throw LinkError.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/link.h"

namespace hotsync::detail {

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  ByteStream() = default;
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;

  // At least one byte and at most out.size(), waiting up to `timeout` for
  // the first. Throws LinkError when the peer closed, stayed silent, or the
  // wait was interrupted.
  virtual std::size_t readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) = 0;
  virtual void writeAll(std::span<const uint8_t> bytes) = 0;
  virtual const std::string& peer() const = 0;
  // Ends a wait in readSome from another thread or a signal handler.
  virtual void interrupt() = 0;
  // Whether the peer is known to be gone (a closed socket, a tty hung up),
  // asked without waiting and without reading anything.
  virtual bool hungUp() { return false; }

  // Exactly out.size() bytes; `timeout` applies to each wait.
  void readExactly(std::span<uint8_t> out, std::chrono::milliseconds timeout);
};

// `what` followed by the text of errno.
std::string systemError(const std::string& what);

// A stream over a file descriptor it owns: a socket or a tty.
class FdStream : public ByteStream {
 public:
  FdStream(int fd, std::string peer);
  ~FdStream() override;

  std::size_t readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) override;
  void writeAll(std::span<const uint8_t> bytes) override;
  const std::string& peer() const override { return peer_; }
  void interrupt() override;
  bool hungUp() override;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  bool socket_ = false;  // sockets are written without SIGPIPE
  int wakeFds_[2] = {-1, -1};
  std::string peer_;
};

}  // namespace hotsync::detail
