// A USB handheld's bulk endpoints as a byte stream, so that either framing
// runs over it as it runs over a socket or a tty. A device that leaves the
// bus in the middle ends the stream like a closed connection.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "link/byte_stream.h"
#include "link/usb/usb_bus.h"

namespace hotsync::detail {

class UsbStream : public ByteStream {
 public:
  // Endpoint numbers, without the direction bit.
  UsbStream(std::unique_ptr<UsbHandle> handle, uint8_t inEndpoint, uint8_t outEndpoint, std::string peer);

  std::size_t readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) override;
  void writeAll(std::span<const uint8_t> bytes) override;
  const std::string& peer() const override { return peer_; }
  void interrupt() override { interrupted_ = true; }

  // The first byte the handheld sends, left to be read again.
  uint8_t peek(std::chrono::milliseconds timeout);

 private:
  [[noreturn]] void fail(UsbStatus status);

  std::unique_ptr<UsbHandle> handle_;
  uint8_t in_;
  uint8_t out_;
  std::string peer_;
  std::vector<uint8_t> buffer_;  // read from the device, not yet taken
  std::size_t taken_ = 0;
  std::atomic<bool> interrupted_{false};
};

}  // namespace hotsync::detail
