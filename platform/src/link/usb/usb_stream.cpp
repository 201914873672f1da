#include "link/usb/usb_stream.h"

#include <algorithm>
#include <cstring>

namespace hotsync::detail {
namespace {

// A bulk read takes whole USB packets, so the buffer is a multiple of every
// packet size (64 at full speed, 512 at high speed).
constexpr std::size_t kReadSize = 16384;
// Waits are cut into slices so that interrupt() takes effect soon.
constexpr std::chrono::milliseconds kSlice{200};
constexpr std::chrono::seconds kWriteTimeout{30};

}  // namespace

UsbStream::UsbStream(std::unique_ptr<UsbHandle> handle, uint8_t inEndpoint, uint8_t outEndpoint, std::string peer)
    : handle_(std::move(handle)), in_(0x80 | inEndpoint), out_(outEndpoint), peer_(std::move(peer)) {}

void UsbStream::fail(UsbStatus status) {
  if (status == UsbStatus::Gone) throw LinkError(peer_ + " left the USB bus (cable pulled or switched off)");
  throw LinkError("the USB link to " + peer_ + " failed: " + usbStatusText(status));
}

std::size_t UsbStream::readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) {
  if (out.empty()) return 0;
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (taken_ == buffer_.size()) {
    if (interrupted_) throw LinkError("stopped waiting for " + peer_);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) throw LinkError(peer_ + " stopped answering");
    buffer_.resize(kReadSize);
    taken_ = 0;
    const UsbTransfer t = handle_->bulkRead(in_, buffer_, std::min(left, kSlice));
    buffer_.resize(t.bytes);
    if (t.status != UsbStatus::Ok && t.status != UsbStatus::Timeout) fail(t.status);
  }
  const std::size_t n = std::min(out.size(), buffer_.size() - taken_);
  std::memcpy(out.data(), buffer_.data() + taken_, n);
  taken_ += n;
  return n;
}

uint8_t UsbStream::peek(std::chrono::milliseconds timeout) {
  uint8_t first = 0;
  readSome({&first, 1}, timeout);
  --taken_;  // the byte stays in the buffer
  return first;
}

void UsbStream::writeAll(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    if (interrupted_) throw LinkError("stopped writing to " + peer_);
    const UsbTransfer t = handle_->bulkWrite(out_, bytes, kWriteTimeout);
    if (t.status == UsbStatus::Timeout && t.bytes == 0) throw LinkError(peer_ + " stopped taking data");
    if (t.status != UsbStatus::Ok && t.status != UsbStatus::Timeout) fail(t.status);
    bytes = bytes.subspan(t.bytes);
  }
}

}  // namespace hotsync::detail
