#include "link/serial/replay_stream.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/port_wait.h"

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
  if (cancelFd_ >= 0) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
    int ready = 0;
    do {
      ready = ::poll(p, 2, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready > 0 && p[1].revents != 0) throw WaitStopped();
    // The wait is spent here; waiting it again below would double every
    // time limit of the opening (an unanswered init sent again after 4 s).
    if (ready == 0) throw LinkError(peer() + " stopped answering");
    if (ready > 0) timeout = std::chrono::milliseconds(0);
  }
  return inner_->readSome(out, timeout);
}

}  // namespace hotsync::detail
