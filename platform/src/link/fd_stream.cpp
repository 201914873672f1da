#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/byte_stream.h"

namespace hotsync::detail {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

void ByteStream::readExactly(std::span<uint8_t> out, std::chrono::milliseconds timeout) {
  std::size_t got = 0;
  while (got < out.size()) got += readSome(out.subspan(got), timeout);
}

FdStream::FdStream(int fd, std::string peer) : fd_(fd), peer_(std::move(peer)) {
  struct stat st {};
  socket_ = ::fstat(fd_, &st) == 0 && S_ISSOCK(st.st_mode);
  if (::pipe2(wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
    const std::string reason = systemError("cannot make a pipe");
    ::close(fd_);
    fd_ = -1;
    throw LinkError(reason);
  }
}

FdStream::~FdStream() {
  if (fd_ >= 0) ::close(fd_);
  for (int fd : wakeFds_) {
    if (fd >= 0) ::close(fd);
  }
}

std::size_t FdStream::readSome(std::span<uint8_t> out, std::chrono::milliseconds timeout) {
  if (out.empty()) return 0;
  for (;;) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    const int ready = ::poll(p, 2, static_cast<int>(timeout.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) throw LinkError(systemError("waiting for " + peer_));
    if (ready == 0) throw LinkError(peer_ + " stopped answering");
    if (p[1].revents != 0) throw LinkError("stopped waiting for " + peer_);
    const ssize_t r = socket_ ? ::recv(fd_, out.data(), out.size(), 0) : ::read(fd_, out.data(), out.size());
    if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (r < 0) throw LinkError(systemError("the link to " + peer_ + " failed"));
    if (r == 0) throw LinkError(peer_ + " closed the link");
    return static_cast<std::size_t>(r);
  }
}

void FdStream::writeAll(std::span<const uint8_t> bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t w = socket_ ? ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)
                              : ::write(fd_, bytes.data() + sent, bytes.size() - sent);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno == EAGAIN) {  // a descriptor opened non-blocking
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, -1);
      continue;
    }
    if (w < 0) throw LinkError(systemError("the link to " + peer_ + " failed"));
    sent += static_cast<std::size_t>(w);
  }
}

bool FdStream::hungUp() {
  pollfd p{fd_, static_cast<short>(POLLIN | POLLRDHUP), 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if ((p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP)) != 0) return true;
  // Readable: a socket at its end reads nothing; a peer's bytes stay unread.
  uint8_t byte = 0;
  return socket_ && (p.revents & POLLIN) != 0 && ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void FdStream::interrupt() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &byte, 1);
}

}  // namespace hotsync::detail
