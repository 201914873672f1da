// Network HotSync framing over a byte stream: each DLP packet travels in a
// frame (type, transaction number, length), and both ends make an opening
// exchange before the first request.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/byte_stream.h"
#include "link/link.h"

namespace hotsync::detail {

class NetLink : public Link {
 public:
  // The handheld's end: connects to the desktop, trying again for up to
  // `retry` while nothing listens there, and makes the opening exchange.
  static std::unique_ptr<NetLink> connect(const std::string& host, uint16_t port, std::chrono::seconds retry);
  // The handheld's end over a stream already connected to the desktop.
  static std::unique_ptr<NetLink> handheld(std::unique_ptr<ByteStream> stream);
  // The desktop's end of an accepted connection: makes the opening exchange.
  static std::unique_ptr<NetLink> desktop(std::unique_ptr<ByteStream> stream);
  // The same for a connection another process accepted and handed over:
  // takes `fd`, marks it close-on-exec and names the peer itself.
  static std::unique_ptr<NetLink> handedOver(int fd);

  // A data frame. The desktop numbers each request; the handheld answers
  // with the number of the request.
  void send(std::span<const uint8_t> payload) override;
  // The next data frame's payload; keep-alive frames are skipped.
  std::vector<uint8_t> receive() override;
  void sendKeepAlive() override;
  const std::string& peer() const override { return stream_->peer(); }
  bool hungUp() override { return stream_->hungUp(); }

 private:
  NetLink(std::unique_ptr<ByteStream> stream, bool desktop) : stream_(std::move(stream)), desktop_(desktop) {}
  void readExactly(uint8_t* out, std::size_t n) { stream_->readExactly({out, n}, timeout()); }

  std::unique_ptr<ByteStream> stream_;
  bool desktop_ = false;
  uint8_t txid_ = 0;
};

}  // namespace hotsync::detail
