#include "link/serial/replay_stream.h"

#include <algorithm>
#include <cstring>

namespace hotsync::detail {

std::size_t ReplayStream::readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) {
  if (at_ < first_.size() && !out.empty()) {
    const std::size_t n = std::min(out.size(), first_.size() - at_);
    std::memcpy(out.data(), first_.data() + at_, n);
    at_ += n;
    if (at_ == first_.size()) {
      first_.clear();
      first_.shrink_to_fit();
      at_ = 0;
    }
    return n;
  }
  return inner_->readSome(out, timeout);
}

}  // namespace hotsync::detail
