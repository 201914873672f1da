// A stream that first gives back bytes already read from the stream under
// it (those that told what the peer speaks), then reads on from it.
#pragma once

#include <memory>
#include <vector>

#include "link/byte_stream.h"

namespace hotsync::detail {

class ReplayStream : public ByteStream {
 public:
  ReplayStream(std::unique_ptr<ByteStream> inner, std::vector<uint8_t> first)
      : inner_(std::move(inner)), first_(std::move(first)) {}

  std::size_t readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) override;
  void writeAll(std::span<const uint8_t> bytes) override { inner_->writeAll(bytes); }
  const std::string& peer() const override { return inner_->peer(); }
  void interrupt() override { inner_->interrupt(); }
  bool hungUp() override { return inner_->hungUp(); }
  // While `cancelFd` is set, a wait for `fd` (the inner stream's) ends with
  // WaitStopped as soon as `cancelFd` becomes readable; -1 ends that.
  void stopOn(int fd, int cancelFd) {
    fd_ = fd;
    cancelFd_ = cancelFd;
  }

 private:
  int fd_ = -1;
  int cancelFd_ = -1;
  std::unique_ptr<ByteStream> inner_;
  std::vector<uint8_t> first_;
  std::size_t at_ = 0;
};

}  // namespace hotsync::detail
